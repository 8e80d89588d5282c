#ifndef WRITERRECORDS_H
#define WRITERRECORDS_H

#include "data/addressrecord.h"

#include <QRegularExpression>

#include <optional>
#include <utility>

// Records that say, in every field, which writer wrote them and as which
// of its records, so that a torn or misplaced record shows.
namespace WriterRecords {

inline AddressRecord record(int writer, int sequence)
{
    AddressRecord record;
    for (int i = 0; i < AddressRecord::FieldCount; ++i) {
        const QString text = QStringLiteral("w%1 s%2 f%3 ").arg(writer).arg(sequence).arg(i);
        record.setField(AddressRecord::Field(i), text.repeated(10));
    }
    return record;
}

// The writer and sequence of an intact record; nothing for other bytes.
inline std::optional<std::pair<int, int>> identify(const QByteArray &bytes)
{
    static const QRegularExpression pattern(QStringLiteral("^w(\\d+) s(\\d+) "));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(bytes.left(15)));
    if (!match.hasMatch())
        return std::nullopt;
    const int writer = match.captured(1).toInt();
    const int sequence = match.captured(2).toInt();
    if (record(writer, sequence).bytes() != bytes)
        return std::nullopt;
    return std::make_pair(writer, sequence);
}

} // namespace WriterRecords

#endif // WRITERRECORDS_H
