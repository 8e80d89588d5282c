#ifndef PLATFORMFILE_H
#define PLATFORMFILE_H

#include <QString>

class QFile;

// The few file operations that Qt does not offer; one implementation per
// platform. On failure each returns false and sets *reason to the system's
// reason.
namespace PlatformFile {

// Waits until this process holds the exclusive lock on the open file. The
// lock belongs to the open file itself (there is no lock file), and ends
// with unlock() or when the file is closed.
bool lockExclusive(QFile &file, QString *reason);
void unlock(QFile &file);

// Returns once the file's data, and what is needed to read it back, are on
// stable storage.
bool syncData(QFile &file, QString *reason);

// Makes a newly created entry of the directory durable.
bool syncDirectory(const QString &path, QString *reason);

} // namespace PlatformFile

#endif // PLATFORMFILE_H
