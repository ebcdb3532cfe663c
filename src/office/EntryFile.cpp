#include "EntryFile.h"

#include "TextTable.h"

#include <QDate>
#include <QHash>
#include <QStringDecoder>

namespace pistel {
namespace {

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
    const TextTable table = readTextTable(bytes, encoding);
    file.encoding = table.encoding;
    file.problems = table.problems;
    const QStringList& lines = table.lines;
    const bool tabs = table.tabs;
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
