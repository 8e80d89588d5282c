#include "recordfile.h"

#include "addressrecord.h"
#include "platformfile.h"

#include <QDir>
#include <QFileInfo>

namespace {

qint64 position(qint16 number)
{
    return qint64(number - 1) * AddressRecord::Length;
}

// QFile reports a write that stops part-way as a short count with no error;
// writing the rest then brings the system's reason.
bool writeAll(QFile &file, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qint64 written = file.write(bytes.data(), bytes.size());
        if (written <= 0)
            return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

} // namespace

QString RecordFile::dataFilePath(const QString &directory)
{
    return QDir(directory).filePath(QStringLiteral("Ventolia.dat"));
}

RecordFile::RecordFile(const QString &path)
    : m_file(path)
{
}

// Contacts are personal: a file created here is for its owner alone. An
// existing file keeps its permissions.
bool RecordFile::open()
{
    const bool creating = !m_file.exists();
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    if (m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered, ownerOnly))
        return !creating || syncNewFile();
    const QString reason = m_file.errorString();
    if (m_file.exists() && m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_readOnlyReason = reason;
        return true;
    }
    return failToOpen(reason);
}

std::optional<qint16> RecordFile::countRecords()
{
    const qint64 count = m_file.size() / AddressRecord::Length;
    if (count > MaxRecords) {
        fail(QStringLiteral("Desbordamiento: el archivo de datos «%1» contiene %2 registros, "
                            "y el máximo es %3.")
                     .arg(displayPath())
                     .arg(count)
                     .arg(MaxRecords));
        return std::nullopt;
    }
    return qint16(count);
}

bool RecordFile::readRecord(qint16 number, AddressRecord &record)
{
    const QByteArray bytes = m_file.seek(position(number)) ? m_file.read(AddressRecord::Length)
                                                           : QByteArray();
    if (bytes.size() == AddressRecord::Length) {
        record.setBytes(bytes);
        return true;
    }
    const QString reason = m_file.error() == QFileDevice::NoError
            ? QStringLiteral("el archivo termina antes de ese registro")
            : m_file.errorString();
    return fail(QStringLiteral("No se pudo leer el registro %1 del archivo de datos «%2»: %3.")
                        .arg(number)
                        .arg(displayPath(), reason));
}

bool RecordFile::writeRecord(qint16 number, const AddressRecord &record)
{
    QString reason = m_readOnlyReason;
    if (m_file.isWritable()) {
        if (m_file.seek(position(number)) && writeAll(m_file, record.bytes()))
            return true;
        reason = m_file.errorString();
    }
    return fail(QStringLiteral("No se pudo escribir el registro %1 en el archivo de datos «%2»: %3.")
                        .arg(number)
                        .arg(displayPath(), reason));
}

// Another copy of the program may be appending to the same file: the place
// of the new record is taken from the file itself, under an exclusive lock
// held until the record is on stable storage.
std::optional<qint16> RecordFile::appendRecord(const AddressRecord &record)
{
    QString reason = m_readOnlyReason;
    if (!m_file.isWritable() || !PlatformFile::lockExclusive(m_file, &reason)) {
        fail(QStringLiteral("No se pudo añadir un registro al archivo de datos «%1»: %2.")
                     .arg(displayPath(), reason));
        return std::nullopt;
    }
    const std::optional<qint16> number = appendLocked(record);
    PlatformFile::unlock(m_file);
    return number;
}

// The record goes after the last whole record, over any stray piece of one
// that an interrupted write left behind. If it cannot be written whole and
// made durable, the file gets back its old bytes.
std::optional<qint16> RecordFile::appendLocked(const AddressRecord &record)
{
    const qint64 oldSize = m_file.size();
    const qint64 count = oldSize / AddressRecord::Length;
    if (count >= MaxRecords) {
        fail(QStringLiteral("Desbordamiento: el archivo de datos «%1» ya tiene %2 registros, "
                            "el máximo.")
                     .arg(displayPath())
                     .arg(count));
        return std::nullopt;
    }
    const qint16 number = qint16(count + 1);
    const QByteArray strayPiece = m_file.seek(position(number)) ? m_file.readAll() : QByteArray();

    if (!writeRecord(number, record)) {
        restore(oldSize, strayPiece);
        return std::nullopt;
    }
    QString reason;
    if (!PlatformFile::syncData(m_file, &reason)) {
        fail(QStringLiteral("No se pudo guardar en el disco el registro %1 del archivo de datos "
                            "«%2»: %3.")
                     .arg(number)
                     .arg(displayPath(), reason));
        restore(oldSize, strayPiece);
        return std::nullopt;
    }
    return number;
}

void RecordFile::restore(qint64 size, const QByteArray &strayPiece)
{
    const bool restored = m_file.resize(size)
            && (strayPiece.isEmpty()
                || (m_file.seek(size - strayPiece.size()) && writeAll(m_file, strayPiece)));
    if (!restored)
        m_errorString += QStringLiteral(" Además, el archivo no se pudo devolver a su estado "
                                        "anterior: %1.")
                                 .arg(m_file.errorString());
}

void RecordFile::close()
{
    m_file.close();
}

bool RecordFile::syncNewFile()
{
    QString reason;
    if (PlatformFile::syncDirectory(QFileInfo(m_file).absolutePath(), &reason))
        return true;
    m_file.close();
    return failToOpen(reason);
}

bool RecordFile::failToOpen(const QString &reason)
{
    return fail(QStringLiteral("No se pudo abrir el archivo de datos «%1»: %2.")
                        .arg(displayPath(), reason));
}

QString RecordFile::displayPath() const
{
    return QDir::toNativeSeparators(m_file.fileName());
}

bool RecordFile::fail(const QString &message)
{
    m_errorString = message;
    return false;
}
