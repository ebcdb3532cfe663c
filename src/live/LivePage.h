#pragma once

#include <QByteArray>
#include <QString>

namespace pistel::live {

// The live results page, built into the program from page/: index.html, live.css and live.js
// (plain HTML, CSS and a little JavaScript that reads /data every 700 ms and redraws without
// reloading; text from the data is set as text, never as HTML).
QByteArray livePageFile(const QString& name);

} // namespace pistel::live
