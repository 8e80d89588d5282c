#ifndef FONTFITTING_H
#define FONTFITTING_H

#include <QFont>
#include <QString>

#include <functional>

// font itself when fits() accepts it, otherwise the largest whole point size
// below it at which fits() does; the smallest size tried is 1 point.
QFont largestFittingFont(const QFont &font, const std::function<bool(const QFont &)> &fits);

// font narrowed, and if that is not enough made smaller, until text is no
// wider than width pixels.
QFont fontFittingWidth(QFont font, const QString &text, int width);

#endif // FONTFITTING_H
