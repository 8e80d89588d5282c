#include "recordfile.h"

#include "addressrecord.h"
#include "platformfile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

namespace {

constexpr int retryMilliseconds = 10;

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

// A reason ends the message, which brings its own full stop.
QString reasonOf(QString reason)
{
    if (reason.endsWith(u'.'))
        reason.chop(1);
    return reason;
}

} // namespace

QString RecordFile::dataFilePath(const QString &directory)
{
    return QDir(directory).filePath(QStringLiteral("Ventolia.dat"));
}

RecordFile::RecordFile(const QString &path, const FileWait &wait)
    : m_path(path), m_wait(wait)
{
}

// Only the start creates the file: a file that disappears later is gone,
// and is reported as such rather than replaced by an empty one.
bool RecordFile::open(Creation creation)
{
    QString reason;
    PlatformFile::Opened opened = PlatformFile::Opened::Failed;
    const auto attempt = [&] {
        opened = PlatformFile::open(m_file, m_path, creation == CreateIfMissing, &m_readOnlyReason, &reason);
        return opened == PlatformFile::Opened::HeldElsewhere ? Attempt::HeldElsewhere : Attempt::Done;
    };
    if (!retryWhileHeldElsewhere(attempt, &reason))
        return failToOpen(reason);
    switch (opened) {
    case PlatformFile::Opened::Yes:
        return true;
    case PlatformFile::Opened::Missing:
        if (creation == MustExist)
            return fail(QStringLiteral("El archivo de datos «%1» ya no existe.").arg(displayPath()));
        break;
    case PlatformFile::Opened::NotRegular:
        reason = QStringLiteral("no es un archivo normal");
        break;
    case PlatformFile::Opened::HeldElsewhere:
    case PlatformFile::Opened::Failed:
        break;
    }
    return failToOpen(reason);
}

std::optional<qint64> RecordFile::size()
{
    QString reason;
    const std::optional<qint64> bytes = PlatformFile::size(m_file, &reason);
    if (!bytes)
        fail(QStringLiteral("No se pudo saber el tamaño del archivo de datos «%1»: %2.")
                     .arg(displayPath(), reasonOf(reason)));
    return bytes;
}

std::optional<qint16> RecordFile::countRecords()
{
    const std::optional<qint64> bytes = size();
    if (!bytes)
        return std::nullopt;
    const qint64 count = *bytes / AddressRecord::Length;
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
    QString reason;
    if (seekRecord(number, &reason)) {
        const QByteArray bytes = m_file.read(AddressRecord::Length);
        if (bytes.size() == AddressRecord::Length) {
            record.setBytes(bytes);
            return true;
        }
        reason = m_file.error() == QFileDevice::NoError
                ? QStringLiteral("el archivo termina antes de ese registro")
                : m_file.errorString();
    }
    return fail(QStringLiteral("No se pudo leer el registro %1 del archivo de datos «%2»: %3.")
                        .arg(number)
                        .arg(displayPath(), reasonOf(reason)));
}

bool RecordFile::writeRecord(qint16 number, const AddressRecord &record)
{
    QString reason = m_readOnlyReason;
    if (m_file.isWritable() && seekRecord(number, &reason)) {
        if (writeAll(m_file, record.bytes()))
            return true;
        reason = m_file.errorString();
    }
    return fail(QStringLiteral("No se pudo escribir el registro %1 en el archivo de datos «%2»: %3.")
                        .arg(number)
                        .arg(displayPath(), reasonOf(reason)));
}

bool RecordFile::seekRecord(qint16 number, QString *reason)
{
    const qint64 place = position(number);
    if (place >= 0 && m_file.seek(place))
        return true;
    *reason = m_file.error() == QFileDevice::NoError
            ? QStringLiteral("el byte %1 no es una posición del archivo").arg(place)
            : m_file.errorString();
    return false;
}

// Another copy of the program may be appending to the same file: the place
// of the new record is taken from the file itself, under an exclusive lock
// held until the record is on stable storage.
std::optional<qint16> RecordFile::appendRecord(const AddressRecord &record)
{
    QString reason = m_readOnlyReason;
    const auto lock = [&] {
        switch (PlatformFile::tryLock(m_file, &reason)) {
        case PlatformFile::Locked::Yes:
            return Attempt::Done;
        case PlatformFile::Locked::HeldElsewhere:
            return Attempt::HeldElsewhere;
        case PlatformFile::Locked::Failed:
            break;
        }
        return Attempt::Failed;
    };
    if (!m_file.isWritable() || !retryWhileHeldElsewhere(lock, &reason)) {
        fail(QStringLiteral("No se pudo añadir un registro al archivo de datos «%1»: %2.")
                     .arg(displayPath(), reasonOf(reason)));
        return std::nullopt;
    }
    const std::optional<qint16> number = appendLocked(record);
    PlatformFile::unlock(m_file);
    return number;
}

bool RecordFile::retryWhileHeldElsewhere(const std::function<Attempt()> &attempt, QString *reason)
{
    const QDeadlineTimer deadline(m_wait.limit);
    for (;;) {
        switch (attempt()) {
        case Attempt::Done:
            return true;
        case Attempt::Failed:
            return false;
        case Attempt::HeldElsewhere:
            break;
        }
        if (deadline.hasExpired()) {
            *reason = QStringLiteral("otro programa lo está usando; vuelva a intentarlo más tarde");
            return false;
        }
        if (m_wait.meanwhile)
            m_wait.meanwhile();
        QThread::msleep(retryMilliseconds);
    }
}

// The record goes after the last whole record, over any stray piece of one
// that an interrupted write left behind. If it cannot be written whole and
// made durable, the file gets back its old bytes.
std::optional<qint16> RecordFile::appendLocked(const AddressRecord &record)
{
    const std::optional<qint64> oldSize = size();
    if (!oldSize)
        return std::nullopt;
    const qint64 count = *oldSize / AddressRecord::Length;
    if (count >= MaxRecords) {
        fail(QStringLiteral("Desbordamiento: el archivo de datos «%1» ya tiene %2 registros, "
                            "el máximo.")
                     .arg(displayPath())
                     .arg(count));
        return std::nullopt;
    }
    const qint16 number = qint16(count + 1);
    QString reason;
    const QByteArray strayPiece = seekRecord(number, &reason) ? m_file.readAll() : QByteArray();

    if (!writeRecord(number, record)) {
        restore(*oldSize, strayPiece);
        return std::nullopt;
    }
    if (!PlatformFile::syncData(m_file, &reason)) {
        fail(QStringLiteral("No se pudo guardar en el disco el registro %1 del archivo de datos "
                            "«%2»: %3.")
                     .arg(number)
                     .arg(displayPath(), reasonOf(reason)));
        restore(*oldSize, strayPiece);
        return std::nullopt;
    }
    return number;
}

// A write that changed nothing (the file has its old size and no stray
// piece was there to write over) leaves nothing to put back.
void RecordFile::restore(qint64 oldSize, const QByteArray &strayPiece)
{
    QString unused;
    if (PlatformFile::size(m_file, &unused) == oldSize && strayPiece.isEmpty())
        return;
    const bool restored = m_file.resize(oldSize)
            && (strayPiece.isEmpty()
                || (m_file.seek(oldSize - strayPiece.size()) && writeAll(m_file, strayPiece)));
    if (!restored)
        m_errorString += QStringLiteral(" Además, el archivo no se pudo devolver a su estado "
                                        "anterior: %1.")
                                 .arg(reasonOf(m_file.errorString()));
}

void RecordFile::close()
{
    m_file.close();
}

bool RecordFile::failToOpen(const QString &reason)
{
    return fail(QStringLiteral("No se pudo abrir el archivo de datos «%1»: %2.")
                        .arg(displayPath(), reasonOf(reason)));
}

QString RecordFile::displayPath() const
{
    return QDir::toNativeSeparators(m_path);
}

bool RecordFile::fail(const QString &message)
{
    m_errorString = message;
    return false;
}
