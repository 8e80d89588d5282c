#include "formlayout.h"

#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr int pixels(int twips)
{
    return twips / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

struct FieldTwips
{
    const char *stem;
    const char *caption;
    int labelLeft;
    int top;
    int boxLeft;
    int boxWidth;
};
constexpr int boxHeight = 285;

// In the order of AddressRecord's fields.
constexpr FieldTwips fields[AddressRecord::FieldCount] = {
    { "Nombre", "Nombre:", 240, 360, 1800, 2295 },
    { "Apellidos", "Apellidos:", 240, 720, 1800, 2295 },
    { "FechaDeNacimiento", "Fecha de nacimiento:", 240, 1080, 1800, 2295 },
    { "Calle", "Calle:", 240, 1440, 1800, 2295 },
    { "Portal", "Nº de portal:", 240, 1800, 1800, 735 },
    { "Piso", "Piso:", 2880, 1800, 3360, 735 },
    { "Letra", "Letra:", 240, 2160, 1800, 2295 },
    { "Ciudad", "Ciudad:", 240, 2520, 1800, 2295 },
    { "Provincia", "Provincia:", 4440, 360, 6000, 2295 },
    { "CodPostal", "Código postal:", 4440, 720, 6000, 2295 },
    { "Teléfono", "Nº de teléfono:", 4440, 1080, 6000, 2295 },
    { "Email", "E-mail:", 4440, 1440, 6000, 2295 },
    { "Web", "Web:", 4440, 1800, 6000, 2295 },
    { "Padre", "Nombre del padre:", 4440, 2160, 6000, 2295 },
    { "Madre", "Nombre de la madre:", 4440, 2520, 6000, 2295 },
};

// The height that a text box of the layout has for its line of text.
int boxTextHeight(const QStyle *style)
{
    QStyleOptionFrame option;
    option.rect = twipsRect(0, 0, 2295, boxHeight);
    option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option);
    return style->subElementRect(QStyle::SE_LineEditContents, &option).height();
}

// Whether a caption fits in room pixels; a label's size hint for a one-line
// caption is the caption's bounding rectangle. Shaping a caption costs more
// than the rest of the search, so the sum of its characters' advances (which
// the font keeps) decides where it is clearly over or under: kerning moves a
// caption by far less than the margin. Only a close call is shaped.
bool captionFits(const QFont &font, const QFontMetricsF &advances, const QString &caption, int room)
{
    qreal estimate = 0;
    for (QChar character : caption)
        estimate += advances.horizontalAdvance(character);
    const qreal margin = 2 + estimate / 20;
    if (estimate > room + margin)
        return false;
    if (estimate < room - margin)
        return true;
    return QFontMetrics(font)
                   .boundingRect(QRect(0, 0, 2000, 2000), Qt::AlignLeft | Qt::AlignVCenter, caption)
                   .width()
            <= room;
}

bool layoutFits(const QFont &font, int lineRoom)
{
    const QFontMetricsF advances(font);
    return advances.height() <= lineRoom
            && std::all_of(std::begin(fields), std::end(fields), [&](const FieldTwips &field) {
                   return captionFits(font, advances, QString::fromUtf8(field.caption),
                                      pixels(field.boxLeft) - pixels(field.labelLeft));
               });
}

} // namespace

namespace FormLayout {

FieldControls fieldControls(AddressRecord::Field field)
{
    const FieldTwips &twips = fields[field];
    return { twips.stem, twips.caption, QPoint(pixels(twips.labelLeft), pixels(twips.top)),
             twipsRect(twips.boxLeft, twips.top, twips.boxWidth, boxHeight) };
}

QSize clientSize()
{
    return QSize(pixels(8550), pixels(3615));
}

QRect aceptarGeometry()
{
    return twipsRect(6000, 3000, 1095, 375);
}

QRect nuevoGeometry()
{
    return twipsRect(7200, 3000, 1095, 375);
}

QRect scrollBarGeometry()
{
    return twipsRect(240, 3120, 5535, 255);
}

QRect counterGeometry()
{
    return twipsRect(6000, 3120, 1095, 255);
}

// Where even 1 point does not fit, 1 point it is.
QFont fittingFont(const QFont &font, const QStyle *style)
{
    const int lineRoom = boxTextHeight(style);
    QFont candidate = font;
    for (int size = int(std::ceil(font.pointSizeF())) - 1;
         size >= 1 && !layoutFits(candidate, lineRoom); --size)
        candidate.setPointSize(size);
    return candidate;
}

} // namespace FormLayout
