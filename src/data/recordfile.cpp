#include "recordfile.h"

#include "addressrecord.h"

#include <QDir>

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

bool RecordFile::open()
{
    if (m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return true;
    const QString reason = m_file.errorString();
    if (m_file.exists() && m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_readOnlyReason = reason;
        return true;
    }
    return fail(QStringLiteral("No se pudo abrir el archivo de datos «%1»: %2.")
                        .arg(displayPath(), reason));
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

// A record that cannot be written whole is cut off again: the file keeps
// its old length.
bool RecordFile::writeRecord(qint16 number, const AddressRecord &record)
{
    QString reason = m_readOnlyReason;
    if (m_file.isWritable()) {
        const qint64 oldSize = m_file.size();
        if (m_file.seek(position(number)) && writeAll(m_file, record.bytes()))
            return true;
        reason = m_file.errorString();
        if (!m_file.resize(oldSize))
            reason += QStringLiteral("; tampoco se pudo devolver el archivo a su tamaño anterior (%1)")
                              .arg(m_file.errorString());
    }
    return fail(QStringLiteral("No se pudo escribir el registro %1 en el archivo de datos «%2»: %3.")
                        .arg(number)
                        .arg(displayPath(), reason));
}

void RecordFile::close()
{
    m_file.close();
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
