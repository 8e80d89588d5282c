#include "recordfile.h"

#include "addressrecord.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include <algorithm>

using PlatformFile::Outcome;

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
    const Outcome opened = waitWhileHeldElsewhere(
            [&] {
                return PlatformFile::open(m_file, m_path, creation == CreateIfMissing, &m_readOnlyReason,
                                          &reason);
            },
            &reason);
    switch (opened) {
    case Outcome::Done:
        return true;
    case Outcome::Missing:
        if (creation == MustExist)
            return fail(QStringLiteral("El archivo de datos «%1» ya no existe.").arg(displayPath()));
        break;
    case Outcome::NotRegular:
        reason = QStringLiteral("no es un archivo normal");
        break;
    case Outcome::HeldElsewhere:
    case Outcome::Failed:
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

// The whole records in a file of so many bytes, less those at its end that
// are NUL from their first byte to their last: the room that a save leaves
// where the file's new size reached the disk and the record did not. A
// record with any other byte is the user's, and counts. The end is read
// backwards in blocks that grow, so that a file with no such room costs one
// read of a record.
std::optional<qint64> RecordFile::recordsIn(qint64 bytes)
{
    constexpr qint64 largestBlock = 256;
    qint64 records = bytes / AddressRecord::Length;
    QByteArray block;
    QString reason;
    for (qint64 blockRecords = 1; records > 0; blockRecords = qMin(2 * blockRecords, largestBlock)) {
        const qint64 first = qMax<qint64>(records - blockRecords, 0);
        if (!readAt(first * AddressRecord::Length, (records - first) * AddressRecord::Length, &block, &reason)) {
            fail(QStringLiteral("No se pudo leer el archivo de datos «%1»: %2.").arg(displayPath(), reasonOf(reason)));
            return std::nullopt;
        }
        records = first + block.size() / AddressRecord::Length; // the file may have shrunk meanwhile
        for (; records > first; --records) {
            const QByteArrayView record = QByteArrayView(block).sliced((records - first - 1) * AddressRecord::Length,
                                                                       AddressRecord::Length);
            if (std::any_of(record.begin(), record.end(), [](char byte) { return byte != 0; }))
                return records;
        }
    }
    return records;
}

std::optional<qint16> RecordFile::countRecords()
{
    const std::optional<qint64> bytes = size();
    const std::optional<qint64> count = bytes ? recordsIn(*bytes) : std::nullopt;
    if (!count)
        return std::nullopt;
    if (*count > MaxRecords) {
        fail(QStringLiteral("Desbordamiento: el archivo de datos «%1» contiene %2 registros, "
                            "y el máximo es %3.")
                     .arg(displayPath())
                     .arg(*count)
                     .arg(MaxRecords));
        return std::nullopt;
    }
    return qint16(*count);
}

// Reads length bytes at offset, or fewer where the file ends, as many calls
// as the system needs; each waits while another program holds the file.
bool RecordFile::readAt(qint64 offset, qint64 length, QByteArray *bytes, QString *reason)
{
    bytes->resize(length);
    for (qint64 got = 0, count = 0; got < length; got += count) {
        const auto read = [&] {
            return PlatformFile::read(m_file, offset + got, bytes->data() + got, length - got, &count, reason);
        };
        if (waitWhileHeldElsewhere(read, reason) != Outcome::Done)
            return false;
        if (count == 0) {
            bytes->truncate(got);
            break;
        }
    }
    return true;
}

bool RecordFile::readRecord(qint16 number, AddressRecord &record)
{
    QString reason;
    QByteArray bytes;
    const qint64 place = position(number);
    if (place < 0) {
        reason = QStringLiteral("el byte %1 no es una posición del archivo").arg(place);
    } else if (readAt(place, AddressRecord::Length, &bytes, &reason)) {
        if (bytes.size() == AddressRecord::Length) {
            record.setBytes(bytes);
            return true;
        }
        reason = QStringLiteral("el archivo termina antes de ese registro");
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
    if (!m_file.isWritable()
        || waitWhileHeldElsewhere([&] { return PlatformFile::tryLock(m_file, &reason); }, &reason)
                != Outcome::Done) {
        fail(QStringLiteral("No se pudo añadir un registro al archivo de datos «%1»: %2.")
                     .arg(displayPath(), reasonOf(reason)));
        return std::nullopt;
    }
    const std::optional<qint16> number = appendLocked(record);
    PlatformFile::unlock(m_file);
    return number;
}

// Makes the attempt again every few milliseconds while another program holds
// the file, until it is let go or the wait's limit has passed.
Outcome RecordFile::waitWhileHeldElsewhere(const std::function<Outcome()> &attempt, QString *reason)
{
    const QDeadlineTimer deadline(m_wait.limit);
    for (;;) {
        const Outcome outcome = attempt();
        if (outcome != Outcome::HeldElsewhere)
            return outcome;
        if (deadline.hasExpired()) {
            *reason = QStringLiteral("otro programa lo está usando; vuelva a intentarlo más tarde");
            return outcome;
        }
        if (m_wait.meanwhile)
            m_wait.meanwhile();
        QThread::msleep(retryMilliseconds);
    }
}

// The record goes after the last record, over what lies beyond it: a stray
// piece of one, or the room of NUL bytes that an interrupted save left. If
// it cannot be written whole and made durable, the file gets back its old
// bytes.
std::optional<qint16> RecordFile::appendLocked(const AddressRecord &record)
{
    const std::optional<qint64> oldSize = size();
    const std::optional<qint64> count = oldSize ? recordsIn(*oldSize) : std::nullopt;
    if (!count)
        return std::nullopt;
    if (*count >= MaxRecords) {
        fail(QStringLiteral("Desbordamiento: el archivo de datos «%1» ya tiene %2 registros, "
                            "el máximo.")
                     .arg(displayPath())
                     .arg(*count));
        return std::nullopt;
    }
    const qint16 number = qint16(*count + 1);
    QString reason;
    QByteArray strayPiece;
    if (!readAt(position(number), *oldSize - position(number), &strayPiece, &reason)) {
        fail(QStringLiteral("No se pudo leer el archivo de datos «%1»: %2.").arg(displayPath(), reasonOf(reason)));
        return std::nullopt;
    }

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

// The undoing is flushed too: a failed save that came back after a crash
// would be typed again, and stored twice. A write that changed nothing (the
// file has its old size and no stray piece was there to write over) leaves
// nothing to put back.
void RecordFile::restore(qint64 oldSize, const QByteArray &strayPiece)
{
    QString reason;
    if (PlatformFile::size(m_file, &reason) == oldSize && strayPiece.isEmpty())
        return;
    const bool restored = m_file.resize(oldSize)
            && (strayPiece.isEmpty()
                || (m_file.seek(oldSize - strayPiece.size()) && writeAll(m_file, strayPiece)));
    if (!restored)
        m_errorString += QStringLiteral(" Además, el archivo no se pudo devolver a su estado "
                                        "anterior: %1.")
                                 .arg(reasonOf(m_file.errorString()));
    else if (!PlatformFile::syncData(m_file, &reason))
        m_errorString += QStringLiteral(" Además, al devolver el archivo a su estado anterior no se "
                                        "pudo guardar en el disco, y puede que no esté como estaba: %1.")
                                 .arg(reasonOf(reason));
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
