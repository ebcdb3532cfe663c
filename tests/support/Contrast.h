#pragma once

#include <QColor>
#include <algorithm>
#include <cmath>

namespace pistel::test {

// The contrast ratio of two colours as the web's accessibility guidelines define it
// (1 to 21; 4.5 and more reads well for text of this size).
inline double contrastRatio(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

} // namespace pistel::test
