#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace pistel {

// Text crosses the database boundary as Shift-JIS (Windows code page 932 table).
// Characters without a Shift-JIS form become '?', so an encoded text never carries
// bytes the server could misread.
QByteArray toSjis(QStringView text);
QString fromSjis(QByteArrayView bytes);

} // namespace pistel
