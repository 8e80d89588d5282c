#ifndef FORMLAYOUT_H
#define FORMLAYOUT_H

#include "data/addressrecord.h"

#include <QFont>
#include <QRect>

class QStyle;

// Where the window's controls stand. The layout was drawn in twips (15 to a
// device-independent pixel) for a smaller font than today's desktops use;
// its positions never move, so the font gives way instead.
namespace FormLayout {

// A field's label stands left of its text box, at the same top, and takes
// the size of its caption.
struct FieldControls
{
    const char *stem; // the label is lbl<stem>, the box txt<stem>
    const char *caption;
    QPoint labelPosition;
    QRect boxGeometry;
};

FieldControls fieldControls(AddressRecord::Field field);

QSize clientSize();
QRect aceptarGeometry();
QRect nuevoGeometry();
QRect scrollBarGeometry();
QRect counterGeometry();

// font itself where every field label fits before its box and a line fits a
// box's height; otherwise the largest whole point size below it that fits.
QFont fittingFont(const QFont &font, const QStyle *style);

} // namespace FormLayout

#endif // FORMLAYOUT_H
