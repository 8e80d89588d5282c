#ifndef ADDRESSRECORD_H
#define ADDRESSRECORD_H

#include <QByteArray>
#include <QString>

// One contact: fifteen fixed-width text fields, stored as 255 bytes of
// Windows-1252 text. A field always holds exactly its width in characters.
class AddressRecord
{
public:
    enum Field {
        Nombre,
        Apellidos,
        FechaDeNacimiento,
        Calle,
        Portal,
        Piso,
        Letra,
        Ciudad,
        Provincia,
        CodPostal,
        Teléfono,
        Email,
        Web,
        Padre,
        Madre
    };
    static constexpr int FieldCount = Madre + 1;
    static constexpr int Length = 255;

    static int width(Field field);
    static int offset(Field field);

    // The field's full width, trailing spaces included.
    QString field(Field field) const;
    // Left-justified fixed-width assignment: pads with spaces or cuts to the width.
    void setField(Field field, QStringView text);

    QByteArray bytes() const { return m_bytes; }
    // bytes must be exactly Length long.
    void setBytes(QByteArrayView bytes);

private:
    QByteArray m_bytes = QByteArray(Length, '\0');
};

#endif // ADDRESSRECORD_H
