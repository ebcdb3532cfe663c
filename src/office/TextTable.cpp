#include "TextTable.h"

#include <QStringDecoder>

namespace pistel {
namespace {

// The file's text: UTF-8 when it says so (a BOM) or decodes without an error, else CP932
// (Windows spreadsheets' Shift-JIS), each line decoded on its own so that an unreadable byte
// is named by its line.
QStringList decodedLines(const QByteArray& bytes, TextTable& file, const QString& forced) {
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

} // namespace

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

TextTable readTextTable(const QByteArray& bytes, const QString& encoding) {
    TextTable table;
    table.lines = decodedLines(bytes, table, encoding);
    table.tabs = !table.lines.isEmpty() && table.lines[0].contains(u'\t');
    return table;
}

} // namespace pistel
