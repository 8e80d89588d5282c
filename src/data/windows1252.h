#ifndef WINDOWS1252_H
#define WINDOWS1252_H

#include <QByteArray>
#include <QString>

// The data file's text is Windows-1252, whatever the system's locale. The
// table is our own: Qt converts this code page only where it was built with
// ICU, which its Windows builds are not.
namespace Windows1252 {

// Every byte value 0x00-0xFF decodes to exactly one character.
QString decode(QByteArrayView bytes);

// Whether the code page has the character: a text of such characters is
// stored as it is.
bool holds(QChar character);

// Composes text (NFC), then encodes its first maxCharacters characters, one
// byte per character. A character that Windows-1252 lacks becomes a single '?'.
QByteArray encode(QStringView text, qsizetype maxCharacters);

} // namespace Windows1252

#endif // WINDOWS1252_H
