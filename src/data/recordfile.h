#ifndef RECORDFILE_H
#define RECORDFILE_H

#include <QFile>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class AddressRecord;

// The data file: AddressRecord::Length-byte records one after another, with no
// header. Record n, counting from 1, starts at byte (n - 1) * Length. Each
// failing operation returns false (or no value) and leaves a message in
// errorString() that names the operation, the file and the system's reason.
class RecordFile
{
public:
    static constexpr qint16 MaxRecords = 32767;
    // How long a save waits for another program that holds the file's lock.
    static constexpr std::chrono::milliseconds LockTimeout = std::chrono::seconds(10);

    static QString dataFilePath(const QString &directory);

    explicit RecordFile(const QString &path);

    enum Creation { MustExist, CreateIfMissing };
    // Opens the regular file for reading and writing; a file that cannot be
    // written is opened for reading alone, and writing then fails.
    bool open(Creation creation = MustExist);
    // The number of whole records; a trailing piece shorter than a record
    // does not count.
    std::optional<qint16> countRecords();
    bool readRecord(qint16 number, AddressRecord &record);
    bool writeRecord(qint16 number, const AddressRecord &record);
    // Adds the record after the last whole record in the file, as the file
    // stands now, and returns its number once it is on stable storage. While
    // another program holds the file's lock it waits, up to lockTimeout,
    // calling whileWaiting now and then. On a failure nothing in the file has
    // changed.
    std::optional<qint16> appendRecord(const AddressRecord &record,
                                       std::chrono::milliseconds lockTimeout = LockTimeout,
                                       const std::function<void()> &whileWaiting = {});
    void close();

    QString errorString() const { return m_errorString; }

private:
    bool lock(std::chrono::milliseconds timeout, const std::function<void()> &whileWaiting,
              QString *reason);
    std::optional<qint16> appendLocked(const AddressRecord &record);
    bool seekRecord(qint16 number, QString *reason);
    void restore(qint64 size, const QByteArray &strayPiece);
    bool failToOpen(const QString &reason);
    QString displayPath() const;
    bool fail(const QString &message);

    const QString m_path;
    QFile m_file;
    QString m_readOnlyReason; // why the file could not be opened for writing
    QString m_errorString;
};

#endif // RECORDFILE_H
