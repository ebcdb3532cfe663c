#include "EntryFile.h"

#include <QDate>
#include <QHash>
#include <QStringDecoder>

namespace pistel {
namespace {

// The file's text: UTF-8 when it says so (a BOM) or decodes without an error, else CP932
// (Windows spreadsheets' Shift-JIS), each line decoded on its own so that an unreadable byte
// is named by its line.
QStringList decodedLines(const QByteArray& bytes, EntryFile& file, const QString& forced) {
    QByteArray body = bytes;
    if (forced == u"sjis") {
        file.encoding = QStringLiteral("CP932");
    } else if (body.startsWith("\xEF\xBB\xBF")) {
        file.encoding = QStringLiteral("UTF-8 (BOM)");
        body = body.mid(3);
    } else if (forced == u"utf8") {
        file.encoding = QStringLiteral("UTF-8");
    } else {
        // Invalid UTF-8 decodes to U+FFFD (which valid UTF-8 spells EF BF BD).
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(body);
        const bool valid = !utf8.hasError() && (!text.contains(QChar::ReplacementCharacter) ||
                                                body.contains("\xEF\xBF\xBD"));
        file.encoding = valid ? QStringLiteral("UTF-8") : QStringLiteral("CP932");
    }
    QStringList lines;
    int n = 0;
    for (QByteArray raw : body.split('\n')) {
        ++n;
        if (raw.endsWith('\r'))
            raw.chop(1);
        // A fresh decoder a line: one keeps its error once it had one.
        QStringDecoder decoder = file.encoding == u"CP932" ? QStringDecoder("windows-31j")
                                                           : QStringDecoder(QStringDecoder::Utf8);
        const QString text = decoder.decode(raw);
        if (decoder.hasError() || text.contains(QChar::ReplacementCharacter) ||
            text.contains(QChar(0x1A)))
            file.problems.append({n, QStringLiteral("文字として読めないバイトがあります")});
        lines << text;
    }
    return lines;
}

// The fields of one line: tab-separated, or comma-separated with "quoted" fields.
QStringList fieldsOf(const QString& line, bool tabs) {
    if (tabs)
        return line.split(u'\t');
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << std::exchange(field, {});
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

// The entry field a header names; empty when none.
QString fieldNamed(QString title) {
    title = title.trimmed().toLower().remove(u' ').remove(u'　');
    static const QHash<QString, QString> names{
        {"ビブ", "bib"},         {"ゼッケン", "bib"},    {"bib", "bib"},
        {"氏名", "name"},        {"名前", "name"},       {"name", "name"},
        {"よみ", "kana"},        {"ふりがな", "kana"},   {"フリガナ", "kana"},
        {"所属", "team"},        {"team", "team"},       {"club", "team"},
        {"クラス", "class"},     {"class", "class"},     {"性別", "sex"},
        {"sex", "sex"},          {"生年", "birthYear"},  {"birthyear", "birthYear"},
        {"都道府県", "nation"},  {"国", "nation"},       {"nation", "nation"},
        {"登録番号", "licence"}, {"fiscode", "licence"}, {"licence", "licence"},
        {"license", "licence"},  {"ポイント", "points"}, {"points", "points"}};
    return names.value(title);
}

} // namespace

EntryFile readEntryFile(const QByteArray& bytes, const QStringList& classes,
                        const QString& encoding) {
    EntryFile file;
    const QStringList lines = decodedLines(bytes, file, encoding);
    const bool tabs = !lines.isEmpty() && lines[0].contains(u'\t');
    QHash<QString, int> column; // entry field -> column
    const QStringList header = lines.isEmpty() ? QStringList{} : fieldsOf(lines[0], tabs);
    for (int c = 0; c < header.size(); ++c)
        if (const QString f = fieldNamed(header[c]); !f.isEmpty() && !column.contains(f))
            column.insert(f, c);
    if (!column.contains(QStringLiteral("name"))) {
        file.problems.append({1, QStringLiteral("見出しの行に氏名（name）の列がありません")});
        return file;
    }
    QHash<QString, int> bibLine;
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        const QStringList f = fieldsOf(lines[i], tabs);
        const auto value = [&](const char* name) {
            const int c = column.value(QString::fromLatin1(name), -1);
            return c >= 0 && c < f.size() ? f[c].trimmed() : QString();
        };
        Entry e{i + 1,           value("bib"),     value("name"),  value("kana"),
                value("team"),   value("class"),   value("sex"),   value("birthYear"),
                value("nation"), value("licence"), value("points")};
        for (const QString& text : entryProblems(e, classes))
            file.problems.append({e.line, text});
        // The same number twice, however written (7 and 0007).
        const QString bibKey = QString::number(e.bib.toInt());
        if (!e.bib.isEmpty() && e.bib.toInt() > 0) {
            if (bibLine.contains(bibKey))
                file.problems.append({e.line, QStringLiteral("ビブ %1 は %2 行目と重なっています")
                                                  .arg(e.bib)
                                                  .arg(bibLine[bibKey])});
            else
                bibLine.insert(bibKey, e.line);
        }
        file.entries.append(e);
    }
    return file;
}

QStringList entryProblems(const Entry& e, const QStringList& classes) {
    QStringList problems;
    if (e.name.isEmpty())
        problems << QStringLiteral("氏名がありません");
    bool ok = false;
    if (!e.bib.isEmpty() && (e.bib.toInt(&ok) < 1 || !ok || e.bib.toInt() > 9999))
        problems << QStringLiteral("ビブ「%1」は 1 から 9999 の番号ではありません").arg(e.bib);
    if (!classes.isEmpty() && !classes.contains(e.className))
        problems << QStringLiteral("クラス「%1」は大会にありません").arg(e.className);
    if (!e.birthYear.isEmpty()) {
        const int year = e.birthYear.toInt(&ok);
        if (!ok || year < 1900 || year > QDate::currentDate().year())
            problems << QStringLiteral("生年「%1」は年として読めません").arg(e.birthYear);
    }
    if (!e.points.isEmpty() && (e.points.toDouble(&ok) < 0 || !ok))
        problems << QStringLiteral("ポイント「%1」は数として読めません").arg(e.points);
    return problems;
}

EntryFile checkedEntry(const Entry& e, const QStringList& classes) {
    EntryFile one;
    one.entries.append(e);
    for (const QString& text : entryProblems(e, classes))
        one.problems.append({e.line, text});
    return one;
}

} // namespace pistel
