#ifndef PLATFORMFILE_H
#define PLATFORMFILE_H

#include <QByteArray>
#include <QString>

#include <optional>

class QFile;

// The few file operations that Qt does not offer; one implementation per
// platform. A failing call says so in its result and sets *reason to the
// system's reason.
namespace PlatformFile {

// What the system's answer means to the program. Each platform file maps
// its system's errors onto these in one place.
enum class Outcome {
    Done,
    Missing,       // no file at the path
    NotRegular,    // a folder, a device or a FIFO stands at the path
    HeldElsewhere, // another program holds the file: waiting may help
    Failed,        // for the system's reason
};

// The folder that holds the running program's executable; empty where the
// system cannot tell. A POSIX file name is bytes and need not be valid
// UTF-8: a byte that is not is carried as the code point U+DC80 + byte,
// which open() turns back into that byte.
QString programDirectory();

// Makes a write past the process's file-size limit fail with an error,
// instead of ending the process.
void failWritesPastSizeLimit();

// What an open is for. Reading needs read access alone, so that another
// program that only reads the file (a lease for reading, a share for
// reading) is no reason to wait.
enum class Access { Read, ReadWrite };

// Opens the regular file at path into file (which closes it): for reading;
// or for reading and writing, and for reading alone where writing is
// refused, then *readOnlyReason says why. With create, a missing file is
// created, open for reading and writing (on a POSIX system for its owner
// alone), and made durable where that can be done: a folder that cannot be
// flushed is no reason to fail. Another program holds the file where it
// has a lease on it that the open breaks (Linux), or has opened it without
// sharing what the open needs, or locked what the open needs (Windows).
Outcome open(QFile &file, const QString &path, Access access, bool create, QString *readOnlyReason,
             QString *reason);

// The open file's size in bytes, or nothing where the system cannot tell.
std::optional<qint64> size(QFile &file, QString *reason);

// Reads up to length bytes at offset into data, in one call; *count is how
// many, 0 at the end of the file. Another program holds the file where it
// has locked what is to be read (Windows).
Outcome read(QFile &file, qint64 offset, char *data, qint64 length, qint64 *count, QString *reason);

// Writes up to length bytes of data at offset, in one call; *count is how
// many. Another program holds the file where it has locked what is to be
// written (Windows).
Outcome write(QFile &file, qint64 offset, const char *data, qint64 length, qint64 *count, QString *reason);

// Makes the file so many bytes long.
bool setSize(QFile &file, qint64 size, QString *reason);

// The exclusive lock on the open file. It belongs to the open file itself
// (there is no lock file), ends with unlock() or when the file is closed,
// and stops no other program from reading the file: every build of the
// program locks the same byte, far past any record.
Outcome tryLock(QFile &file, QString *reason);
void unlock(QFile &file);

// Returns once the file's data, and what is needed to read it back, are on
// stable storage.
bool syncData(QFile &file, QString *reason);

} // namespace PlatformFile

#endif // PLATFORMFILE_H
