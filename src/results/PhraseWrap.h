#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace pistel {

// Lines of `text` no wider than `width` as `advance` measures them, broken only between
// phrases: at blanks (dropped), after Japanese commas and full stops, before an opening
// bracket. Generic line breaking would split a Japanese word anywhere ("旗門不通" / "過"); a
// phrase wider than a line on its own is the only one broken inside, where it must be.
QStringList wrapPhrases(const QString& text, double width,
                        const std::function<double(const QString&)>& advance);

} // namespace pistel
