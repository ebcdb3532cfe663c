// Start and result lists on paper: a page layout computed once (so every page knows how many
// there are), then painted.
#include "DocumentPdf.h"

#include "PhraseWrap.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <unistd.h>

namespace pistel {

QString documentFontFamily() {
    static const QString family = [] {
        const QString file = QStringLiteral(PISTEL_DOCUMENT_FONT_FILE);
        const int id = QFontDatabase::addApplicationFont(file);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (id < 0 || families.isEmpty()) {
            qWarning("documents: %s cannot be loaded; the PDFs' text may not read back as "
                     "printed (build the project again to make it)",
                     qPrintable(file));
            return QStringLiteral("Noto Sans CJK JP");
        }
        return families.first();
    }();
    return family;
}

namespace {

constexpr double kMarginMm = 15;
constexpr double kPaddingMm = 1.2;

QFont font(double points, bool bold = false) {
    QFont f(documentFontFamily());
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// One line of the table: a section title, a row of cells, or a line of a text block.
struct Item {
    const ClassDocument* part;
    const DocumentSection* title = nullptr; // a section's title
    const DocumentRow* row = nullptr;       // or a row
    const QString* line = nullptr;          // or a line of text across the page
    double height = 0;                      // device units
    bool titlesBefore = false;              // the column titles go above this row
};

struct Page {
    const ClassDocument* part;
    std::vector<Item> items;
};

class Layout {
public:
    Layout(const Document& doc, QPaintDevice& device)
        : doc_(doc), device_(device), unit_(device.logicalDpiX() / 25.4),
          pageWidthMm_(doc.landscape ? 297 : 210), pageHeightMm_(doc.landscape ? 210 : 297),
          bodyFont_(font(9)), boldFont_(font(9, true)), sectionFont_(font(10)),
          body_(bodyFont_, &device), bold_(boldFont_, &device), section_(sectionFont_, &device) {}

    double mm(double v) const { return v * unit_; }

    // A cell's text in the lines it takes in its column, broken between phrases.
    static QString wrapped(const QString& text, double width, const QFontMetricsF& metrics) {
        return wrapPhrases(
                   text, width,
                   [&metrics](const QString& line) { return metrics.horizontalAdvance(line); })
            .join(QLatin1Char('\n'));
    }
    double cellHeight(const QString& text, double width, const QFontMetricsF& metrics) const {
        if (text.isEmpty())
            return metrics.height();
        return metrics.boundingRect(QRectF(0, 0, width, 1e9), 0, wrapped(text, width, metrics))
            .height();
    }
    // A line of a text block as words set one blank apart (so that it reads back as words),
    // with an ideographic space's width more between the parts two ideographic spaces separate
    // (one is the blank inside a name), broken before a word that would cross the right
    // margin. Each word with its left edge.
    using Placed = std::vector<std::pair<double, QString>>;
    std::vector<Placed> wordLines(const QString& text) const {
        std::vector<Placed> lines{{}};
        double x = 0;
        const double blank = body_.horizontalAdvance(u' '), wide = body_.horizontalAdvance(u'　');
        static const QRegularExpression blanks(QStringLiteral("[ 　]+"));
        for (const QString& part : text.split(QStringLiteral("　　"), Qt::SkipEmptyParts)) {
            if (!lines.back().empty())
                x += wide;
            for (const QString& word : part.split(blanks, Qt::SkipEmptyParts)) {
                const double w = body_.horizontalAdvance(word);
                if (!lines.back().empty() && x + w > textWidth()) {
                    lines.push_back({});
                    x = 0;
                }
                lines.back().push_back({x, word});
                x += w + blank;
            }
        }
        return lines;
    }

    double rowHeight(const QStringList& cells, const QFontMetricsF& metrics) const {
        double h = metrics.height();
        for (int i = 0; i < cells.size() && i < static_cast<int>(doc_.columns.size()); ++i)
            h = std::max(h,
                         cellHeight(cells[i], mm(doc_.columns[i].width - 2 * kPaddingMm), metrics));
        return h + mm(2 * kPaddingMm);
    }

    double tableTop() const { return mm(kMarginMm + 32); }
    double tableBottom() const { return mm(pageHeightMm_ - kMarginMm - 10); }
    double textWidth() const { return mm(pageWidthMm_ - 2 * kMarginMm); }

    // Pages of items: each class from a new page; the column titles above the first row of
    // a page (a page that starts with a text block shows it first).
    std::vector<Page> paginate() const {
        std::vector<Page> pages;
        const double headerRow = rowHeight(columnTitles(), bold_);
        for (const ClassDocument& part : doc_.classes) {
            pages.push_back({&part, {}});
            double y = tableTop();
            bool titled = false;
            auto place = [&](Item item) {
                const double titles = item.row && !titled ? headerRow : 0;
                if (y + titles + item.height > tableBottom() && !pages.back().items.empty()) {
                    pages.push_back({&part, {}});
                    y = tableTop();
                    titled = false;
                }
                if (item.row && !titled) {
                    item.titlesBefore = true;
                    titled = true;
                    y += headerRow;
                }
                pages.back().items.push_back(item);
                y += item.height;
            };
            for (const DocumentSection& section : part.sections) {
                if (!section.title.isEmpty())
                    place({&part, &section, nullptr, nullptr, mm(3) + section_.height() + mm(1)});
                for (const DocumentRow& row : section.rows)
                    place({&part, nullptr, &row, nullptr, rowHeight(row.cells, body_)});
                for (const QString& line : section.lines)
                    place({&part, nullptr, nullptr, &line,
                           double(wordLines(line).size()) * body_.height() + mm(1)});
            }
        }
        if (pages.empty())
            pages.push_back({nullptr, {}});
        return pages;
    }

    QStringList columnTitles() const {
        QStringList titles;
        for (const DocumentColumn& c : doc_.columns)
            titles << c.title;
        return titles;
    }

    void paintRow(QPainter& p, double y, const QStringList& cells, const QFontMetricsF& metrics,
                  const QFont& f, double height) const {
        p.setFont(f);
        double x = mm(kMarginMm);
        for (int i = 0; i < static_cast<int>(doc_.columns.size()); ++i) {
            const DocumentColumn& c = doc_.columns[i];
            const QRectF box(x + mm(kPaddingMm), y + mm(kPaddingMm), mm(c.width - 2 * kPaddingMm),
                             height - mm(2 * kPaddingMm));
            const QString text = cells.value(i);
            if (!text.isEmpty()) {
                p.save();
                p.setClipRect(box.adjusted(0, 0, 0, mm(1)));
                p.drawText(box, (c.alignRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop,
                           wrapped(text, box.width(), metrics));
                p.restore();
            }
            x += mm(c.width);
        }
    }

    void paintHeader(QPainter& p, const Page& page, int number, int count,
                     const QDateTime& printed) const {
        const double left = mm(kMarginMm), width = textWidth();
        const RaceInfo& info = doc_.info;
        p.setFont(font(13, true));
        p.drawText(QRectF(left, mm(kMarginMm), width, mm(8)),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QFontMetricsF(p.font(), &device_).elidedText(info.name, Qt::ElideRight, width));
        p.setFont(font(9));
        QStringList parts{info.place, info.date, info.discipline, info.category, info.sex};
        parts.removeAll(QString());
        if (!info.code.isEmpty())
            parts << QStringLiteral("コード ") + info.code;
        const QString line2 = parts.join(QStringLiteral("　"));
        p.drawText(QRectF(left, mm(kMarginMm + 8), width, mm(6)),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QFontMetricsF(p.font(), &device_).elidedText(line2, Qt::ElideRight, width));
        p.setFont(font(12, true));
        const QString title =
            doc_.title + (page.part ? QStringLiteral("　") + page.part->className : QString());
        // A result list says whether it is official, and since when, at the right.
        QString state;
        if (doc_.resultList)
            state = doc_.officialSince
                        ? QStringLiteral("公式　発表 ") +
                              doc_.officialSince->toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                        : QStringLiteral("非公式　印刷 ") +
                              printed.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        const double stateWidth =
            state.isEmpty() ? 0
                            : QFontMetricsF(p.font(), &device_).horizontalAdvance(state) + mm(4);
        p.drawText(QRectF(left, mm(kMarginMm + 15), width - stateWidth, mm(8)),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QFontMetricsF(p.font(), &device_)
                       .elidedText(title, Qt::ElideRight, width - stateWidth));
        if (!state.isEmpty())
            p.drawText(QRectF(left, mm(kMarginMm + 15), width, mm(8)),
                       Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, state);
        p.drawLine(QPointF(left, mm(kMarginMm + 25)), QPointF(left + width, mm(kMarginMm + 25)));

        p.setFont(font(8));
        const QRectF footer(left, mm(pageHeightMm_ - kMarginMm - 6), width, mm(6));
        p.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("印刷 ") + printed.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        p.drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("%1 / %2").arg(number).arg(count));
    }

    void paint(QPainter& p, QPagedPaintDevice& device, const QDateTime& printed) const {
        const std::vector<Page> pages = paginate();
        const QStringList titles = columnTitles();
        const double headerRow = rowHeight(titles, bold_);
        const double left = mm(kMarginMm), width = textWidth();
        for (size_t n = 0; n < pages.size(); ++n) {
            if (n > 0)
                device.newPage();
            const Page& page = pages[n];
            paintHeader(p, page, static_cast<int>(n) + 1, static_cast<int>(pages.size()), printed);
            double y = tableTop();
            for (const Item& item : page.items) {
                if (item.titlesBefore) {
                    paintRow(p, y, titles, bold_, boldFont_, headerRow);
                    y += headerRow;
                    p.drawLine(QPointF(left, y), QPointF(left + width, y));
                }
                if (item.title) {
                    // Word by word, each word's gap one blank wide: the title reads back as
                    // words whatever blanks separate them.
                    p.setFont(sectionFont_);
                    QRectF line(left, y + mm(3), width, section_.height() + mm(1));
                    static const QRegularExpression space(QStringLiteral("[ 　]"));
                    for (const QString& word : item.title->heading().split(space)) {
                        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                                   word);
                        line.adjust(section_.horizontalAdvance(word + u' '), 0, 0, 0);
                    }
                } else if (item.line) {
                    p.setFont(bodyFont_);
                    double top = y;
                    for (const Placed& words : wordLines(*item.line)) {
                        for (const auto& [x, word] : words)
                            p.drawText(QRectF(left + x, top, width, body_.height()),
                                       Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, word);
                        top += body_.height();
                    }
                } else {
                    paintRow(p, y, item.row->cells, body_, bodyFont_, item.height);
                }
                y += item.height;
            }
        }
    }

private:
    const Document& doc_;
    QPaintDevice& device_;
    double unit_; // device units per millimetre
    double pageWidthMm_, pageHeightMm_;
    QFont bodyFont_, boldFont_, sectionFont_;
    QFontMetricsF body_, bold_, section_;
};

} // namespace

void paintDocument(const Document& doc, QPagedPaintDevice& device, const QDateTime& printed) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                     doc.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    QPainter painter(&device);
    Layout(doc, device).paint(painter, device, printed);
}

bool writeDocumentPdf(const Document& doc, const QString& path, const QDateTime& printed,
                      QString* error) {
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly)) {
            if (error)
                *error = QStringLiteral("%1 に書き込めません: %2").arg(path, probe.errorString());
            return false;
        }
    }
    QPdfWriter writer(path);
    writer.setResolution(300);
    writer.setTitle(doc.title + QStringLiteral(" ") + doc.info.name);
    writer.setCreator(QStringLiteral("pistel"));
    paintDocument(doc, writer, printed);
    if (QFile(path).size() == 0) {
        if (error)
            *error = QStringLiteral("%1 に書き込めません").arg(path);
        return false;
    }
    return true;
}

void prepareForDocumentsWithoutScreen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString dir =
            QDir::tempPath() + QStringLiteral("/pistel-runtime-") + QString::number(getuid());
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", dir.toLocal8Bit());
    }
}

std::vector<double> columnEdgesMm(const Document& doc) {
    std::vector<double> edges{kMarginMm};
    for (const DocumentColumn& c : doc.columns)
        edges.push_back(edges.back() + c.width);
    return edges;
}

} // namespace pistel
