#include "fittedfonts.h"

#include <QFontMetrics>

namespace {

// Narrower than this, text is harder to read than it is at a smaller size.
constexpr int minimumStretch = 60;
constexpr qreal pointSizeStep = 0.5;

} // namespace

FittedFonts::FittedFonts(const QFont &base, int width)
    : m_base(base), m_width(width)
{
}

QFont FittedFonts::fontFor(const QString &caption)
{
    const int advance = QFontMetrics(m_base).horizontalAdvance(caption);
    if (advance <= m_width)
        return m_base;
    const auto known = m_narrowed.constFind(advance);
    if (known != m_narrowed.cend() && fits(*known, caption))
        return *known;
    const QFont narrowed = narrowedFor(caption, advance);
    m_narrowed.insert(advance, narrowed);
    return narrowed;
}

// A caption's advance shrinks about in proportion to the font's stretch, so
// the first try is the proportional stretch; rounding may call for less.
QFont FittedFonts::narrowedFor(const QString &caption, int advance) const
{
    QFont font = m_base;
    int stretch = qMax(minimumStretch, 100 * m_width / advance);
    font.setStretch(stretch);
    while (!fits(font, caption) && stretch > minimumStretch)
        font.setStretch(--stretch);
    while (!fits(font, caption) && font.pointSizeF() > pointSizeStep)
        font.setPointSizeF(font.pointSizeF() - pointSizeStep);
    return font;
}

bool FittedFonts::fits(const QFont &font, const QString &caption) const
{
    return QFontMetrics(font).horizontalAdvance(caption) <= m_width;
}
