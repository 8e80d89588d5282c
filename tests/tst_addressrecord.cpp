#include "data/addressrecord.h"
#include "data/windows1252.h"

#include "fields.h"

#include <QScopeGuard>
#include <QTest>
#include <QtEndian>

#include <numeric>

#ifdef Q_OS_UNIX
#include <iconv.h>
#endif

using namespace Qt::StringLiterals;
using Field = AddressRecord::Field;

class tst_AddressRecord : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void fixedWidthAssignment_data();
    void fixedWidthAssignment();
    void emptyFieldsAreSpaces();
    void newRecordIsZeros();
    void windows1252Bytes_data();
    void windows1252Bytes();
    void everyByteRoundTrips();
    void windows1252MatchesIconv_data();
    void windows1252MatchesIconv();
};

void tst_AddressRecord::layout_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("offset");

    for (const Fields::Field &field : Fields::all)
        QTest::newRow(qPrintable(field.stem)) << field.field << field.width << field.offset;
}

// A text one character longer than the field, in a record of dots: the
// field's bytes, and no other, take its first characters.
void tst_AddressRecord::layout()
{
    QFETCH(Field, field);
    QFETCH(int, width);
    QFETCH(int, offset);

    QCOMPARE(AddressRecord::width(field), width);
    QCOMPARE(AddressRecord::offset(field), offset);
    AddressRecord record;
    record.setBytes(QByteArray(255, '.'));
    record.setField(field, QString(width + 1, u'x'));
    QCOMPARE(record.bytes(), QByteArray(offset, '.') + QByteArray(width, 'x') + QByteArray(255 - offset - width, '.'));
}

void tst_AddressRecord::fixedWidthAssignment_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("short name padded") << AddressRecord::Nombre << u"Ana"_s
                                       << QByteArray("Ana            ") << u"Ana            "_s;
    QTest::newRow("long name cut") << AddressRecord::Nombre << u"Maximiliano José María"_s
                                   << QByteArray("Maximiliano Jos") << u"Maximiliano Jos"_s;
    QTest::newRow("postal code exact") << AddressRecord::CodPostal << u"28001"_s
                                       << QByteArray("28001") << u"28001"_s;
    QTest::newRow("leading and trailing spaces kept") << AddressRecord::Portal << u" 7"_s
                                                      << QByteArray(" 7") << u" 7"_s;
    QTest::newRow("inner spaces kept") << AddressRecord::Piso << u"3 "_s << QByteArray("3 ")
                                       << u"3 "_s;
    QTest::newRow("empty") << AddressRecord::Letra << QString() << QByteArray(9, ' ')
                           << u"         "_s;
    QTest::newRow("accents count as one character")
            << AddressRecord::Ciudad << u"Cádiz Ñañó"_s << QByteArray("C\xe1" "diz \xd1" "a\xf1\xf3")
            << u"Cádiz Ñañó"_s;
    QTest::newRow("cut after accents") << AddressRecord::Portal << u"ñáé"_s
                                       << QByteArray("\xf1\xe1") << u"ñá"_s;
    QTest::newRow("emoji is one character") << AddressRecord::Portal << u"😀xy"_s
                                            << QByteArray("?x") << u"?x"_s;
}

void tst_AddressRecord::fixedWidthAssignment()
{
    QFETCH(Field, field);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, readBack);

    AddressRecord record;
    record.setField(field, text);
    QCOMPARE(record.bytes().mid(AddressRecord::offset(field), AddressRecord::width(field)), bytes);
    QCOMPARE(record.field(field), readBack);
}

void tst_AddressRecord::emptyFieldsAreSpaces()
{
    AddressRecord record;
    for (int i = 0; i < AddressRecord::FieldCount; ++i)
        record.setField(Field(i), QString());
    QCOMPARE(record.bytes(), QByteArray(255, ' '));
}

void tst_AddressRecord::newRecordIsZeros()
{
    QCOMPARE(AddressRecord().bytes(), QByteArray(255, '\0'));
}

void tst_AddressRecord::windows1252Bytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ascii") << u"Calle Mayor 5"_s << QByteArray("Calle Mayor 5");
    QTest::newRow("spanish letters") << u"áéíóúüñÑ"_s << QByteArray("\xe1\xe9\xed\xf3\xfa\xfc\xf1\xd1");
    QTest::newRow("ordinals") << u"Nº 2ª"_s << QByteArray("N\xba 2\xaa");
    QTest::newRow("euro, above Latin-1") << u"5€"_s << QByteArray("5\x80");
    QTest::newRow("curly quotes") << u"“sí”"_s << QByteArray("\x93s\xed\x94");
    QTest::newRow("chinese") << u"中文"_s << QByteArray("??");
    QTest::newRow("cyrillic among latin") << u"aЖb"_s << QByteArray("a?b");
    QTest::newRow("emoji pair") << u"a😀b"_s << QByteArray("a?b");
    QTest::newRow("combining accent composed") << u"e\u0301"_s << QByteArray("\xe9");
    QTest::newRow("combining accent with no composed form") << u"q\u0301"_s << QByteArray("q?");
    QTest::newRow("zero-width space") << u"a\u200Bb"_s << QByteArray("a?b");
    QTest::newRow("byte order mark") << u"\uFEFFa"_s << QByteArray("?a");
    QTest::newRow("lone high surrogate") << u"a"_s + QChar(0xD800) + u"b"_s
                                         << QByteArray("a?b");
    QTest::newRow("lone high surrogate at end") << u"a"_s + QChar(0xD800)
                                                << QByteArray("a?");
    QTest::newRow("lone low surrogate") << QString(QChar(0xDC00)) << QByteArray("?");
    QTest::newRow("control SUB is its own byte") << u"a\u001Ab"_s << QByteArray("a\x1a" "b");
    QTest::newRow("undefined 0x81 slot") << u"\u0081"_s << QByteArray("\x81");
}

void tst_AddressRecord::windows1252Bytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    QCOMPARE(Windows1252::encode(text, 60), bytes);
}

void tst_AddressRecord::everyByteRoundTrips()
{
    for (int start : { 0, 1 }) {
        QByteArray bytes;
        for (int i = 0; i < AddressRecord::Length; ++i)
            bytes += char(start + i);

        AddressRecord read;
        read.setBytes(bytes);
        AddressRecord written;
        for (int i = 0; i < AddressRecord::FieldCount; ++i) {
            const QString text = read.field(Field(i));
            QCOMPARE(text.size(), AddressRecord::width(Field(i)));
            written.setField(Field(i), text);
        }
        QCOMPARE(written.bytes(), bytes);
    }
}

void tst_AddressRecord::windows1252MatchesIconv_data()
{
    QTest::addColumn<bool>("decoding"); // else encoding
    QTest::addColumn<QList<char32_t>>("codes");

    QList<char32_t> bytes(256);
    std::iota(bytes.begin(), bytes.end(), 0);
    QList<char32_t> basicPlane(0x10000);
    std::iota(basicPlane.begin(), basicPlane.end(), 0);
    QTest::newRow("every byte") << true << bytes;
    QTest::newRow("U+0000-U+FFFF") << false << basicPlane;
    QTest::newRow("beyond U+FFFF") << false << QList<char32_t>{ 0x10000, 0x1D11E, 0x1F600, 0x10FFFF };
}

// glibc's iconv as an independent oracle. It leaves out the five bytes that
// Windows-1252 does not define; for those our mapping to the control
// characters of the same number holds. Text is composed before encoding, so
// each code point is checked against the oracle's bytes for its composed form.
void tst_AddressRecord::windows1252MatchesIconv()
{
#ifndef Q_OS_UNIX
    QSKIP("glibc's iconv is the oracle");
#else
    QFETCH(bool, decoding);
    QFETCH(QList<char32_t>, codes);
    const auto undefined = [](char32_t code) {
        return code == 0x81 || code == 0x8D || code == 0x8F || code == 0x90 || code == 0x9D;
    };
    const iconv_t converter = decoding ? iconv_open("UTF-32LE", "CP1252") : iconv_open("CP1252", "UTF-32LE");
    QVERIFY(converter != iconv_t(-1));
    const auto closeConverter = qScopeGuard([converter] { iconv_close(converter); });
    const auto oracle = [&](QByteArray in, qsizetype outSize) {
        QByteArray out(outSize, '\0');
        char *inBytes = in.data();
        char *outBytes = out.data();
        size_t inLeft = in.size();
        size_t outLeft = out.size();
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        const bool converted = iconv(converter, &inBytes, &inLeft, &outBytes, &outLeft) != size_t(-1);
        return converted ? out.left(out.size() - qsizetype(outLeft)) : QByteArray();
    };

    for (char32_t code : codes) {
        if (decoding) {
            const QByteArray byte(1, char(code));
            const QByteArray utf32 = oracle(byte, 4);
            const char32_t expected = undefined(code) ? code : qFromLittleEndian<char32_t>(utf32.constData());
            QVERIFY(undefined(code) || utf32.size() == 4);
            QCOMPARE(Windows1252::decode(byte), QString::fromUcs4(&expected, 1));
            QCOMPARE(Windows1252::encode(Windows1252::decode(byte), 1), byte);
            continue;
        }
        const QString text = QString::fromUcs4(&code, 1);
        QByteArray expected;
        for (char32_t composed : text.normalized(QString::NormalizationForm_C).toUcs4()) {
            QByteArray utf32(4, '\0');
            qToLittleEndian(composed, utf32.data());
            const QByteArray byte = undefined(composed) ? QByteArray(1, char(composed)) : oracle(utf32, 4);
            expected += byte.size() == 1 ? byte : QByteArray("?");
        }
        const QByteArray encoded = Windows1252::encode(text, 10);
        if (encoded != expected)
            QFAIL(qPrintable(u"U+%1: %2, iconv %3"_s.arg(QString::number(uint(code), 16),
                                                         QString::fromLatin1(encoded.toHex()),
                                                         QString::fromLatin1(expected.toHex()))));
    }
#endif
}

QTEST_APPLESS_MAIN(tst_AddressRecord)
#include "tst_addressrecord.moc"
