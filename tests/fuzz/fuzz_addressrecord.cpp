// libFuzzer target for the record's encoding.
//  - Any 255 bytes, read as a record and stored back field by field, give
//    the same bytes.
//  - Any text, of any length and any UTF-16 (lone surrogates included),
//    stored into a field fills exactly that field's width, one byte per
//    character, and leaves every other byte of the record alone.

#include "data/addressrecord.h"
#include "data/windows1252.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void readAndWriteBack(QByteArrayView bytes)
{
    AddressRecord read;
    read.setBytes(bytes);
    AddressRecord written;
    for (int i = 0; i < AddressRecord::FieldCount; ++i)
        written.setField(AddressRecord::Field(i), read.field(AddressRecord::Field(i)));
    require(written.bytes() == bytes);
}

void storeIntoEveryField(const QString &text)
{
    const QByteArray background(AddressRecord::Length, '\xA4');
    for (int i = 0; i < AddressRecord::FieldCount; ++i) {
        const auto field = AddressRecord::Field(i);
        const int offset = AddressRecord::offset(field);
        const int width = AddressRecord::width(field);
        AddressRecord record;
        record.setBytes(background);
        record.setField(field, text);

        const QByteArray bytes = record.bytes();
        require(bytes.size() == AddressRecord::Length);
        require(bytes.left(offset) == background.left(offset));
        require(bytes.mid(offset + width) == background.mid(offset + width));
        require(record.field(field).size() == width);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size >= std::size_t(AddressRecord::Length))
        readAndWriteBack(QByteArrayView(data, AddressRecord::Length));

    QString text(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, size_t(text.size()) * 2);
    storeIntoEveryField(text);
    return 0;
}
