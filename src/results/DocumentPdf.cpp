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
constexpr double kPageWidthMm = 210;
constexpr double kPageHeightMm = 297;
constexpr double kPaddingMm = 1.2;

QFont font(double points, bool bold = false) {
    QFont f(documentFontFamily());
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// One line of the table: a section title or a row of cells.
struct Item {
    const ClassDocument* part;
    const DocumentSection* title = nullptr; // a section's title
    const DocumentRow* row = nullptr;       // or a row
    double height = 0;                      // device units
};

struct Page {
    const ClassDocument* part;
    std::vector<Item> items;
};

class Layout {
public:
    Layout(const Document& doc, QPaintDevice& device)
        : doc_(doc), device_(device), unit_(device.logicalDpiX() / 25.4), bodyFont_(font(9)),
          boldFont_(font(9, true)), sectionFont_(font(10)), body_(bodyFont_, &device),
          bold_(boldFont_, &device), section_(sectionFont_, &device) {}

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
    double rowHeight(const QStringList& cells, const QFontMetricsF& metrics) const {
        double h = metrics.height();
        for (int i = 0; i < cells.size() && i < static_cast<int>(doc_.columns.size()); ++i)
            h = std::max(h,
                         cellHeight(cells[i], mm(doc_.columns[i].width - 2 * kPaddingMm), metrics));
        return h + mm(2 * kPaddingMm);
    }

    double tableTop() const { return mm(kMarginMm + 32); }
    double tableBottom() const { return mm(kPageHeightMm - kMarginMm - 10); }

    std::vector<Page> paginate() const {
        std::vector<Page> pages;
        QStringList titles;
        for (const DocumentColumn& c : doc_.columns)
            titles << c.title;
        const double headerRow = rowHeight(titles, bold_);
        for (const ClassDocument& part : doc_.classes) {
            pages.push_back({&part, {}});
            double y = tableTop() + headerRow;
            auto place = [&](Item item) {
                if (y + item.height > tableBottom() && !pages.back().items.empty()) {
                    pages.push_back({&part, {}});
                    y = tableTop() + headerRow;
                }
                pages.back().items.push_back(item);
                y += item.height;
            };
            for (const DocumentSection& section : part.sections) {
                if (!section.title.isEmpty())
                    place({&part, &section, nullptr, mm(3) + section_.height() + mm(1)});
                for (const DocumentRow& row : section.rows)
                    place({&part, nullptr, &row, rowHeight(row.cells, body_)});
            }
        }
        if (pages.empty())
            pages.push_back({nullptr, {}});
        return pages;
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
        const double left = mm(kMarginMm), width = mm(kPageWidthMm - 2 * kMarginMm);
        const RaceInfo& info = doc_.info;
        p.setFont(font(13, true));
        p.drawText(QRectF(left, mm(kMarginMm), width, mm(8)),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QFontMetricsF(p.font(), &device_).elidedText(info.name, Qt::ElideRight, width));
        p.setFont(font(9));
        const QString line2 =
            QStringList{info.place, info.date, info.discipline}.join(QStringLiteral("　"));
        p.drawText(QRectF(left, mm(kMarginMm + 8), width, mm(6)),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QFontMetricsF(p.font(), &device_).elidedText(line2, Qt::ElideRight, width));
        p.setFont(font(12, true));
        const QString title =
            doc_.title + (page.part ? QStringLiteral("　") + page.part->className : QString());
        p.drawText(QRectF(left, mm(kMarginMm + 15), width, mm(8)),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QFontMetricsF(p.font(), &device_).elidedText(title, Qt::ElideRight, width));
        p.drawLine(QPointF(left, mm(kMarginMm + 25)), QPointF(left + width, mm(kMarginMm + 25)));

        p.setFont(font(8));
        const QRectF footer(left, mm(kPageHeightMm - kMarginMm - 6), width, mm(6));
        p.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("印刷 ") + printed.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        p.drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("%1 / %2").arg(number).arg(count));
    }

    void paint(QPainter& p, QPagedPaintDevice& device, const QDateTime& printed) const {
        const std::vector<Page> pages = paginate();
        QStringList titles;
        for (const DocumentColumn& c : doc_.columns)
            titles << c.title;
        const double headerRow = rowHeight(titles, bold_);
        const double left = mm(kMarginMm), width = mm(kPageWidthMm - 2 * kMarginMm);
        for (size_t n = 0; n < pages.size(); ++n) {
            if (n > 0)
                device.newPage();
            const Page& page = pages[n];
            paintHeader(p, page, static_cast<int>(n) + 1, static_cast<int>(pages.size()), printed);
            double y = tableTop();
            paintRow(p, y, titles, bold_, boldFont_, headerRow);
            y += headerRow;
            p.drawLine(QPointF(left, y), QPointF(left + width, y));
            for (const Item& item : page.items) {
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
    QFont bodyFont_, boldFont_, sectionFont_;
    QFontMetricsF body_, bold_, section_;
};

} // namespace

void paintDocument(const Document& doc, QPagedPaintDevice& device, const QDateTime& printed) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
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
