#ifndef FITTEDFONTS_H
#define FITTEDFONTS_H

#include <QFont>
#include <QHash>
#include <QString>

// Fonts for captions that must fit a fixed width: the base font where the
// caption fits, otherwise the base font narrowed, and if that is not enough
// made smaller, until it does. A caption as wide as one seen before tries
// that one's font first, so a counter that changes with every record seldom
// searches.
class FittedFonts
{
public:
    FittedFonts() = default;
    FittedFonts(const QFont &base, int width);

    QFont fontFor(const QString &caption);

private:
    QFont narrowedFor(const QString &caption, int advance) const;
    bool fits(const QFont &font, const QString &caption) const;

    QFont m_base;
    int m_width = 0;
    QHash<int, QFont> m_narrowed; // by the caption's advance in the base font
};

#endif // FITTEDFONTS_H
