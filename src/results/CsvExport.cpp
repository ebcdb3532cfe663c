#include "CsvExport.h"

#include "data/SjisText.h"

namespace pistel {

namespace {
QString field(const QString& value) {
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) &&
        !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return u'"' + quoted + u'"';
}

QString line(const QStringList& fields) {
    QStringList out;
    for (const QString& f : fields)
        out << field(f);
    return out.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}
} // namespace

QByteArray documentCsv(const Document& doc, CsvEncoding encoding) {
    QString text = line(doc.csvHeader);
    for (const ClassDocument& part : doc.classes)
        for (const DocumentSection& section : part.sections)
            for (const DocumentRow& row : section.rows)
                text += line(row.csv);
    if (encoding == CsvEncoding::ShiftJis)
        return toSjis(text);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace pistel
