#include "fontfitting.h"

#include <QFontMetrics>

#include <cmath>

namespace {

// Narrower than this, text is harder to read than it is at a smaller size.
constexpr int minimumStretch = 60;
constexpr int stretchStep = 5;
constexpr qreal pointSizeStep = 0.5;

} // namespace

QFont largestFittingFont(const QFont &font, const std::function<bool(const QFont &)> &fits)
{
    if (fits(font) || font.pointSizeF() <= 1)
        return font;
    QFont candidate = font;
    for (int size = int(std::ceil(font.pointSizeF())) - 1; size > 1; --size) {
        candidate.setPointSize(size);
        if (fits(candidate))
            return candidate;
    }
    candidate.setPointSize(1);
    return candidate;
}

QFont fontFittingWidth(QFont font, const QString &text, int width)
{
    const auto fits = [&] { return QFontMetrics(font).horizontalAdvance(text) <= width; };
    for (int stretch = 100 - stretchStep; !fits() && stretch >= minimumStretch; stretch -= stretchStep)
        font.setStretch(stretch);
    while (!fits() && font.pointSizeF() > pointSizeStep)
        font.setPointSizeF(font.pointSizeF() - pointSizeStep);
    return font;
}
