#ifndef DATAFILES_H
#define DATAFILES_H

#include <QByteArray>
#include <QFile>
#include <QString>

// Data files written and read byte for byte, as another program would.
namespace DataFiles {

inline constexpr int recordLength = 255;

// A record whose Nombre field holds nombre (padded with spaces to its 15
// bytes) and whose other 240 bytes are fill.
inline QByteArray record(const QByteArray &nombre, char fill = '.')
{
    return nombre.leftJustified(15, ' ', true) + QByteArray(recordLength - 15, fill);
}

// Three records, each filled with its own letter.
inline QByteArray threeRecords()
{
    return record("Ana", 'a') + record("Bea", 'b') + record("Carmen", 'c');
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(bytes) == bytes.size();
}

// The whole file, or its first length bytes.
inline QByteArray read(const QString &path, qint64 length = -1)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return length < 0 ? file.readAll() : file.read(length);
}

// A file of count records of spaces, as a save of empty text boxes writes.
inline bool writeSized(const QString &path, qint64 count)
{
    return write(path, QByteArray(count * recordLength, ' '));
}

} // namespace DataFiles

#endif // DATAFILES_H
