#ifndef RECORDFILE_H
#define RECORDFILE_H

#include "platformfile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class AddressRecord;

// How an operation on the data file (one RecordFile's open, reads, writes
// and lock) waits while another program holds it: it tries again every few
// milliseconds, up to limit in all, and calls meanwhile now and then.
struct FileWait
{
    static constexpr std::chrono::milliseconds DefaultLimit = std::chrono::seconds(10);

    std::chrono::milliseconds limit = DefaultLimit;
    std::function<void()> meanwhile;
};

// The data file: AddressRecord::Length-byte records one after another, with no
// header. Record n, counting from 1, starts at byte (n - 1) * Length. Each
// failing operation returns false (or no value) and leaves a message in
// errorString() that names the operation, the file and the system's reason.
class RecordFile
{
public:
    static constexpr qint16 MaxRecords = 32767;

    static QString dataFilePath(const QString &directory);

    explicit RecordFile(const QString &path, const FileWait &wait = {});

    using Access = PlatformFile::Access;
    enum Creation { MustExist, CreateIfMissing };
    // Opens the regular file for reading, or for reading and writing, where
    // a file that cannot be written is opened for reading alone and writing
    // then fails. A file that it creates is open for both. While another
    // program holds the file, it waits; so does every read.
    bool open(Access access, Creation creation = MustExist);
    // The number of whole records. A trailing piece shorter than a record
    // does not count, nor do the records of NUL bytes that end the file,
    // 256 at most: the room that interrupted saves leave, which no save
    // writes.
    std::optional<qint16> countRecords();
    bool readRecord(qint16 number, AddressRecord &record);
    bool writeRecord(qint16 number, const AddressRecord &record);
    // Adds the record after the last record in the file, as the file stands
    // now, and returns its number once it is on stable storage. While
    // another program holds the file's lock it waits. On a failure the file
    // gets back the bytes that the save changed, on stable storage too;
    // where it cannot, failedSaveMayRemain() says so, and so does the message.
    std::optional<qint16> appendRecord(const AddressRecord &record);
    bool failedSaveMayRemain() const { return m_failedSaveMayRemain; }
    void close();

    QString errorString() const { return m_errorString; }

private:
    PlatformFile::Outcome waitWhileHeldElsewhere(const std::function<PlatformFile::Outcome()> &attempt);
    std::optional<qint64> size();
    std::optional<qint64> recordsIn(qint64 bytes, bool *shrank = nullptr);
    bool readAt(qint64 offset, qint64 length, QByteArray *bytes, QString *reason);
    bool readPromised(qint64 offset, qint64 length, QByteArray *bytes, bool *shrank = nullptr);
    bool writeAt(qint64 offset, QByteArrayView bytes, QString *reason);
    static bool isRecordNumber(qint16 number, QString *reason);
    std::optional<qint16> appendLocked(const AddressRecord &record);
    bool makeDurable(qint16 number);
    void restore(qint64 oldSize, qint16 number, QByteArrayView covered);
    bool failToOpen(const QString &reason);
    bool failToRead(const QString &reason);
    QString displayPath() const;
    bool fail(const QString &message);

    const QString m_path;
    const FileWait m_wait;
    QFile m_file;
    QString m_readOnlyReason; // why the file could not be opened for writing
    std::optional<QDeadlineTimer> m_deadline; // of the wait, from the first
    QString m_errorString;
    bool m_failedSaveMayRemain = false;
};

#endif // RECORDFILE_H
