#include "recordfile.h"

#include "addressrecord.h"
#include "systemreason.h"

#include <QDir>
#include <QThread>

#include <algorithm>

using PlatformFile::Outcome;

namespace {

constexpr int retryMilliseconds = 10;

// The most records' room of NUL bytes at the end of the file that can be
// what interrupted saves left. One save leaves at most one; this covers
// several copies of the program saving at once, with room to spare.
constexpr qint64 roomLeftBySaves = 256;

qint64 position(qint64 number)
{
    return (number - 1) * AddressRecord::Length;
}

bool isRoomOfNuls(QByteArrayView record)
{
    return std::all_of(record.begin(), record.end(), [](char byte) { return byte == 0; });
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
bool RecordFile::open(Access access, Creation creation)
{
    QString reason;
    if (access == Access::Read)
        m_readOnlyReason = QStringLiteral("el archivo se abrió solo para leer");
    const Outcome opened = waitWhileHeldElsewhere([&] {
        return PlatformFile::open(m_file, m_path, access, creation == CreateIfMissing, &m_readOnlyReason, &reason);
    });
    if (opened == Outcome::Done)
        return true;
    if (opened == Outcome::Missing && creation == MustExist)
        return fail(QStringLiteral("El archivo de datos «%1» ya no existe.").arg(displayPath()));
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

// The whole records in a file of so many bytes, less the records' room at
// its end that is NUL from the first byte to the last: what saves leave
// where the file's new size reached the disk and the record did not. A
// record with any other byte is the user's, and counts. A longer run of
// NULs than saves can leave is no such room (a preallocated or sparse file)
// and counts whole, so that only the end of the file is read, whatever its
// size. Where the file holds fewer bytes than that, it has shrunk since its
// size was taken (*shrank): there is no count.
std::optional<qint64> RecordFile::recordsIn(qint64 bytes, bool *shrank)
{
    const qint64 first = qMax<qint64>(bytes / AddressRecord::Length - (roomLeftBySaves + 1), 0);
    QByteArray end;
    if (!readPromised(first * AddressRecord::Length, bytes - first * AddressRecord::Length, &end, shrank))
        return std::nullopt;
    const qint64 records = end.size() / AddressRecord::Length;
    qint64 room = 0;
    while (room < records
           && isRoomOfNuls(QByteArrayView(end).sliced((records - room - 1) * AddressRecord::Length,
                                                     AddressRecord::Length)))
        ++room;
    return first + records - (room > roomLeftBySaves ? 0 : room);
}

// Another program may be cutting the file short as it is counted: the
// count is made again from the file's new size, a few times at most.
std::optional<qint16> RecordFile::countRecords()
{
    std::optional<qint64> count;
    bool shrank = true;
    for (int attempt = 0; shrank && attempt < 10; ++attempt) {
        shrank = false;
        const std::optional<qint64> bytes = size();
        count = bytes ? recordsIn(*bytes, &shrank) : std::nullopt;
    }
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
        if (waitWhileHeldElsewhere(read) != Outcome::Done)
            return false;
        if (count == 0) {
            bytes->truncate(got);
            break;
        }
    }
    return true;
}

// Reads the length bytes at offset that the file's size promised. Fewer mean
// that the file was cut short meanwhile, or that the system read nothing
// (*shrank where given): a failure.
bool RecordFile::readPromised(qint64 offset, qint64 length, QByteArray *bytes, bool *shrank)
{
    QString reason;
    if (!readAt(offset, length, bytes, &reason))
        return failToRead(reason);
    const bool shorter = bytes->size() < length;
    if (shrank)
        *shrank = shorter;
    return !shorter || failToRead(QStringLiteral("el archivo es más corto de lo que dice su tamaño"));
}

// Writes the bytes at offset, as many calls as the system needs; each waits
// while another program holds the file. A call that writes nothing, and
// says no more, is a full disk (as SQLite takes it): it is not made again.
bool RecordFile::writeAt(qint64 offset, QByteArrayView bytes, QString *reason)
{
    for (qint64 written = 0, count = 0; written < bytes.size(); written += count) {
        const auto write = [&] {
            return PlatformFile::write(m_file, offset + written, bytes.data() + written, bytes.size() - written,
                                       &count, reason);
        };
        if (waitWhileHeldElsewhere(write) != Outcome::Done)
            return false;
        if (count == 0) {
            *reason = PlatformFile::describe(PlatformFile::SystemReason::DiskFull);
            return false;
        }
    }
    return true;
}

bool RecordFile::readRecord(qint16 number, AddressRecord &record)
{
    QString reason;
    QByteArray bytes;
    if (isRecordNumber(number, &reason) && readAt(position(number), AddressRecord::Length, &bytes, &reason)) {
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
    return (m_file.isWritable() && isRecordNumber(number, &reason)
            && writeAt(position(number), record.bytes(), &reason))
            || fail(QStringLiteral("No se pudo escribir el registro %1 en el archivo de datos «%2»: %3.")
                            .arg(number)
                            .arg(displayPath(), reasonOf(reason)));
}

bool RecordFile::isRecordNumber(qint16 number, QString *reason)
{
    if (number >= 1)
        return true;
    *reason = QStringLiteral("el byte %1 no es una posición del archivo").arg(position(number));
    return false;
}

// Another copy of the program may be appending to the same file: the place
// of the new record is taken from the file itself, under an exclusive lock
// held until the record is on stable storage.
std::optional<qint16> RecordFile::appendRecord(const AddressRecord &record)
{
    QString reason = m_readOnlyReason;
    if (!m_file.isWritable()
        || waitWhileHeldElsewhere([&] { return PlatformFile::tryLock(m_file, &reason); }) != Outcome::Done) {
        fail(QStringLiteral("No se pudo añadir un registro al archivo de datos «%1»: %2.")
                     .arg(displayPath(), reasonOf(reason)));
        return std::nullopt;
    }
    const std::optional<qint16> number = appendLocked(record);
    PlatformFile::unlock(m_file);
    return number;
}

// Makes the attempt again every few milliseconds while another program holds
// the file, until it is let go or the wait's limit has passed. The limit
// covers the whole operation, however many calls wait in it: it runs from
// the operation's first wait.
Outcome RecordFile::waitWhileHeldElsewhere(const std::function<Outcome()> &attempt)
{
    for (;;) {
        const Outcome outcome = attempt();
        if (outcome != Outcome::HeldElsewhere)
            return outcome;
        if (!m_deadline)
            m_deadline = QDeadlineTimer(m_wait.limit);
        if (m_deadline->hasExpired())
            return outcome;
        if (m_wait.meanwhile)
            m_wait.meanwhile();
        QThread::msleep(retryMilliseconds);
    }
}

// The record goes after the last record, over what lies beyond it: a stray
// piece of one, or the room of NUL bytes that an interrupted save left. If
// it cannot be written whole and made durable, the file gets back what the
// save changed.
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
    QByteArray covered; // what the record's room holds, to be put back should the save fail
    if (!readPromised(position(number), qMin<qint64>(*oldSize - position(number), AddressRecord::Length), &covered))
        return std::nullopt;

    if (!writeRecord(number, record) || !makeDurable(number)) {
        restore(*oldSize, number, covered);
        return std::nullopt;
    }
    return number;
}

bool RecordFile::makeDurable(qint16 number)
{
    QString reason;
    return PlatformFile::syncData(m_file, &reason)
            || fail(QStringLiteral("No se pudo guardar en el disco el registro %1 del archivo de datos "
                                   "«%2»: %3.")
                            .arg(number)
                            .arg(displayPath(), reasonOf(reason)));
}

// Puts back what a failed save changed. What changed is read back from the
// file, not taken from the failing call's count of bytes written, which a
// write that reached the file and then failed (a network folder that lost
// its server's answer, say) reports as none. The bytes of the record's room
// that differ from those it covered are written back, and where the file
// grew its old size is set. What did not change is not written. The undoing
// is flushed too: a failed save that came back after a crash would be typed
// again, and stored twice. Where it cannot be undone, the user is told that
// the record may be stored, to be checked before it is typed again.
void RecordFile::restore(qint64 oldSize, qint16 number, QByteArrayView covered)
{
    const qint64 offset = position(number);
    QString reason;
    QByteArray now;
    bool restored = readAt(offset, AddressRecord::Length, &now, &reason);
    qsizetype first = 0;
    qsizetype end = qMin(now.size(), covered.size());
    while (first < end && now[first] == covered[first])
        ++first;
    while (end > first && now[end - 1] == covered[end - 1])
        --end;
    const bool grew = now.size() > covered.size();
    restored = restored && (first == end || writeAt(offset + first, covered.sliced(first, end - first), &reason))
            && (!grew || PlatformFile::setSize(m_file, oldSize, &reason));
    QString flushReason;
    const bool flushed = (first == end && !grew) || PlatformFile::syncData(m_file, &flushReason);
    if (!restored) {
        m_failedSaveMayRemain = true;
        m_errorString += QStringLiteral(" Además, el archivo no se pudo devolver a su estado anterior: %1. "
                                        "Puede que el registro se haya guardado como número %2: compruébelo "
                                        "antes de volver a escribirlo.")
                                 .arg(reasonOf(reason))
                                 .arg(number);
    } else if (!flushed) {
        m_errorString += QStringLiteral(" Además, al devolver el archivo a su estado anterior no se "
                                        "pudo guardar en el disco, y puede que no esté como estaba: %1.")
                                 .arg(reasonOf(flushReason));
    }
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

bool RecordFile::failToRead(const QString &reason)
{
    return fail(QStringLiteral("No se pudo leer el archivo de datos «%1»: %2.")
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
