#include "windows1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr char codecName[] = "windows-1252";
constexpr char unmappable = '?';

// Opening a converter by name costs more than converting a record, so each
// thread keeps one of each. Stateless: no conversion carries over to the next.
QStringDecoder &decoder()
{
    thread_local QStringDecoder decoder(codecName, QStringConverter::Flag::Stateless);
    return decoder;
}

QStringEncoder &encoder()
{
    thread_local QStringEncoder encoder(codecName, QStringConverter::Flag::Stateless);
    return encoder;
}

// QStringEncoder substitutes byte 0x1A (SUB) for a character it cannot map and
// writes nothing at all for a few default-ignorable ones, so each character is
// encoded on its own and anything but one genuine byte becomes '?'.
char encodeCharacter(QStringEncoder &encoder, QChar character)
{
    if (character.isSurrogate())
        return unmappable;
    const QByteArray bytes = encoder.encode(QStringView(&character, 1));
    const bool mapped = bytes.size() == 1 && (bytes[0] != '\x1a' || character == u'\x1a');
    return mapped ? bytes[0] : unmappable;
}

} // namespace

namespace Windows1252 {

QString decode(QByteArrayView bytes)
{
    return decoder().decode(bytes);
}

QByteArray encode(QStringView text, qsizetype maxCharacters)
{
    QStringEncoder &characterEncoder = encoder();
    QByteArray bytes;
    bytes.reserve(qMin(text.size(), maxCharacters));
    for (qsizetype i = 0; i < text.size() && bytes.size() < maxCharacters; ++i) {
        // A surrogate pair is one character, beyond the code page: step over
        // its first half, and its second half encodes as the one '?'.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        bytes += encodeCharacter(characterEncoder, text[i]);
    }
    return bytes;
}

} // namespace Windows1252
