#ifndef SYSTEMCALLS_H
#define SYSTEMCALLS_H

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace PlatformFile {

// The system calls on which the data file's reading and writing,
// durability, locking and waiting rest. The platform file makes each of
// them through this table, so that a test can put a wrapper in an entry:
// one that calls the function it replaced, sees the call, and may make it
// fail afterwards.
struct SystemCalls
{
#ifdef Q_OS_WIN
    decltype(&::CreateFileW) createFile;
    decltype(&::GetFileSizeEx) getFileSize;
    decltype(&::ReadFile) readFile;
    decltype(&::WriteFile) writeFile;
    decltype(&::SetFileInformationByHandle) setFileInformation; // the size
    decltype(&::FlushFileBuffers) flushFileBuffers;
    decltype(&::LockFileEx) lockFile;
    decltype(&::UnlockFileEx) unlockFile;
#else
    int (*fstat)(int descriptor, struct stat *status);
    ssize_t (*pread)(int descriptor, void *buffer, size_t length, off_t offset);
    ssize_t (*pwrite)(int descriptor, const void *buffer, size_t length, off_t offset);
    int (*ftruncate)(int descriptor, off_t length);
    int (*fdatasync)(int descriptor); // the data file
    int (*fsync)(int descriptor);     // the folder of a new file
    int (*fcntl)(int descriptor, int command, struct flock *lock); // the lock
#endif
};

SystemCalls &systemCalls();

} // namespace PlatformFile

#endif // SYSTEMCALLS_H
