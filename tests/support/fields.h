#ifndef FIELDS_H
#define FIELDS_H

#include "data/addressrecord.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <array>

// The fifteen fields as a user and another program see them, written out
// once for every test that goes through them: the controls' names
// (lbl<stem>, txt<stem>), the label's caption, the field's width and offset
// in the record's bytes, and where the label and the box stand, in twips.
namespace Fields {

using namespace Qt::StringLiterals;

struct Field
{
    AddressRecord::Field field;
    QString stem;
    QString caption;
    int width;
    int offset;
    QPoint label;
    QRect box;

    QString labelName() const { return QStringLiteral("lbl") + stem; }
    QString boxName() const { return QStringLiteral("txt") + stem; }
};

inline const std::array<Field, 15> all = { {
    { AddressRecord::Nombre, u"Nombre"_s, u"Nombre:"_s, 15, 0, { 240, 360 }, { 1800, 360, 2295, 285 } },
    { AddressRecord::Apellidos, u"Apellidos"_s, u"Apellidos:"_s, 50, 15, { 240, 720 }, { 1800, 720, 2295, 285 } },
    { AddressRecord::FechaDeNacimiento, u"FechaDeNacimiento"_s, u"Fecha de nacimiento:"_s, 8, 65,
      { 240, 1080 }, { 1800, 1080, 2295, 285 } },
    { AddressRecord::Calle, u"Calle"_s, u"Calle:"_s, 15, 73, { 240, 1440 }, { 1800, 1440, 2295, 285 } },
    { AddressRecord::Portal, u"Portal"_s, u"Nº de portal:"_s, 2, 88, { 240, 1800 }, { 1800, 1800, 735, 285 } },
    { AddressRecord::Piso, u"Piso"_s, u"Piso:"_s, 2, 90, { 2880, 1800 }, { 3360, 1800, 735, 285 } },
    { AddressRecord::Letra, u"Letra"_s, u"Letra:"_s, 9, 92, { 240, 2160 }, { 1800, 2160, 2295, 285 } },
    { AddressRecord::Ciudad, u"Ciudad"_s, u"Ciudad:"_s, 10, 101, { 240, 2520 }, { 1800, 2520, 2295, 285 } },
    { AddressRecord::Provincia, u"Provincia"_s, u"Provincia:"_s, 10, 111, { 4440, 360 }, { 6000, 360, 2295, 285 } },
    { AddressRecord::CodPostal, u"CodPostal"_s, u"Código postal:"_s, 5, 121, { 4440, 720 }, { 6000, 720, 2295, 285 } },
    { AddressRecord::Teléfono, u"Teléfono"_s, u"Nº de teléfono:"_s, 9, 126, { 4440, 1080 },
      { 6000, 1080, 2295, 285 } },
    { AddressRecord::Email, u"Email"_s, u"E-mail:"_s, 30, 135, { 4440, 1440 }, { 6000, 1440, 2295, 285 } },
    { AddressRecord::Web, u"Web"_s, u"Web:"_s, 60, 165, { 4440, 1800 }, { 6000, 1800, 2295, 285 } },
    { AddressRecord::Padre, u"Padre"_s, u"Nombre del padre:"_s, 15, 225, { 4440, 2160 }, { 6000, 2160, 2295, 285 } },
    { AddressRecord::Madre, u"Madre"_s, u"Nombre de la madre:"_s, 15, 240, { 4440, 2520 },
      { 6000, 2520, 2295, 285 } },
} };

} // namespace Fields

#endif // FIELDS_H
