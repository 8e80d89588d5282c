#include "windows1252.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr char unmappable = '?';

// The bytes 0x80-0x9F, the only ones in which Windows-1252 differs from
// Latin-1. The five that it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// stand for the control characters of the same number, so that any byte
// read from a file is written back unchanged.
constexpr char16_t fromHighBytes[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isLatin1Byte(char32_t codePoint)
{
    return codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF);
}

char encodeCodePoint(char32_t codePoint)
{
    if (isLatin1Byte(codePoint))
        return char(codePoint);
    const auto found = std::find(std::begin(fromHighBytes), std::end(fromHighBytes), codePoint);
    return found == std::end(fromHighBytes) ? unmappable
                                            : char(0x80 + (found - std::begin(fromHighBytes)));
}

} // namespace

namespace Windows1252 {

bool holds(QChar character)
{
    return encodeCodePoint(character.unicode()) != unmappable || character == QLatin1Char(unmappable);
}

QString decode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = uchar(bytes[i]);
        text[i] = isLatin1Byte(byte) ? QChar(byte) : QChar(fromHighBytes[byte - 0x80]);
    }
    return text;
}

// Composed first, so that a letter followed by a combining accent becomes the
// one accented letter that the code page has.
QByteArray encode(QStringView text, qsizetype maxCharacters)
{
    const QString composed = text.toString().normalized(QString::NormalizationForm_C);
    QByteArray bytes;
    bytes.reserve(qMin(composed.size(), maxCharacters));
    for (qsizetype i = 0; i < composed.size() && bytes.size() < maxCharacters; ++i) {
        char32_t codePoint = composed[i].unicode();
        if (composed[i].isHighSurrogate() && i + 1 < composed.size() && composed[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(composed[i], composed[i + 1]);
            ++i;
        }
        bytes += encodeCodePoint(codePoint); // a lone surrogate is no character: '?'
    }
    return bytes;
}

} // namespace Windows1252
