#ifndef PLATFORMFILE_H
#define PLATFORMFILE_H

#include <QString>

#include <functional>

class QFile;

// The few file operations that Qt does not offer; one implementation per
// platform. A failing call returns false (or says so in its result) and sets
// *reason to the system's reason.
namespace PlatformFile {

// The folder that holds the running program's executable; empty where the
// system cannot tell. A POSIX file name is bytes and need not be valid
// UTF-8: a byte that is not is carried as the code point U+DC80 + byte,
// which open() turns back into that byte.
QString programDirectory();

// Makes a write past the process's file-size limit fail with an error,
// instead of ending the process.
void failWritesPastSizeLimit();

enum class Opened { Yes, Missing, NotRegular, Failed };

// Opens the regular file at path into file (which closes it), for reading
// and writing, or for reading alone where writing is refused; then
// *readOnlyReason says why. With create, a missing file is created,
// readable and writable by its owner alone, and the folder where it lands is
// made durable.
Opened open(QFile &file, const QString &path, bool create, QString *readOnlyReason,
            QString *reason);

// The exclusive lock on the open file. It belongs to the open file itself
// (there is no lock file), ends with unlock() or when the file is closed,
// and stops no other program from reading the file.
enum class Locked { Yes, HeldElsewhere, Failed };
Locked tryLock(QFile &file, QString *reason);
void unlock(QFile &file);

// Returns once the file's data, and what is needed to read it back, are on
// stable storage.
bool syncData(QFile &file, QString *reason);

// For tests: called before each flush to stable storage with what is about
// to be flushed; returning false makes that flush fail as the system would.
enum class Flush { DataFile, Folder };
using FlushHook = std::function<bool(Flush what, const QString &folder)>;
inline FlushHook &flushHook()
{
    static FlushHook hook;
    return hook;
}
inline bool flushAllowed(Flush what, const QString &folder)
{
    const FlushHook &hook = flushHook();
    return !hook || hook(what, folder);
}

} // namespace PlatformFile

#endif // PLATFORMFILE_H
