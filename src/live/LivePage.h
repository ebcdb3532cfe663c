#pragma once

#include <QByteArray>

namespace pistel::live {

// The live results page: plain HTML, CSS and a little JavaScript that reads /data every
// 700 ms and redraws without reloading. Text from the data is set as text, never as HTML.
QByteArray livePage();

} // namespace pistel::live
