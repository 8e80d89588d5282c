#include "addressrecord.h"

#include "windows1252.h"

#include <array>

namespace {

constexpr std::array<int, AddressRecord::FieldCount> widths = {
    15, 50, 8, 15, 2, 2, 9, 10, 10, 5, 9, 30, 60, 15, 15
};
constexpr std::array<int, AddressRecord::FieldCount> offsets = [] {
    std::array<int, AddressRecord::FieldCount> result{};
    for (int i = 1; i < AddressRecord::FieldCount; ++i)
        result[i] = result[i - 1] + widths[i - 1];
    return result;
}();
static_assert(offsets.back() + widths.back() == AddressRecord::Length);

} // namespace

int AddressRecord::width(Field field)
{
    return widths[field];
}

int AddressRecord::offset(Field field)
{
    return offsets[field];
}

QString AddressRecord::field(Field field) const
{
    return Windows1252::decode(QByteArrayView(m_bytes).sliced(offset(field), width(field)));
}

void AddressRecord::setField(Field field, QStringView text)
{
    const int fieldWidth = width(field);
    m_bytes.replace(offset(field), fieldWidth,
                    Windows1252::encode(text, fieldWidth).leftJustified(fieldWidth, ' '));
}

void AddressRecord::setBytes(QByteArrayView bytes)
{
    Q_ASSERT(bytes.size() == Length);
    m_bytes = bytes.toByteArray();
}
