#include "platformfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <io.h>
#include <windows.h>

namespace {

// Windows locks stop other handles from reading or writing what they cover.
// The lock stands on one byte far beyond any record, so that it guards the
// whole file against other savers while everyone can still read it.
constexpr quint64 lockOffset = quint64(1) << 62;

HANDLE handleOf(QFile &file)
{
    return HANDLE(_get_osfhandle(file.handle()));
}

OVERLAPPED lockPlace()
{
    OVERLAPPED place = {};
    place.Offset = DWORD(lockOffset);
    place.OffsetHigh = DWORD(lockOffset >> 32);
    return place;
}

bool failWithError(QString *reason, DWORD error = GetLastError())
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                                | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0,
                                        nullptr);
    *reason = QString::fromWCharArray(text, int(length)).trimmed();
    LocalFree(text);
    return false;
}

// A flush that a test's hook refuses fails as a failing disk would.
bool flushFile(QFile &file, PlatformFile::Flush what, const QString &folder, QString *reason)
{
    if (!PlatformFile::flushAllowed(what, folder))
        return failWithError(reason, ERROR_WRITE_FAULT);
    return FlushFileBuffers(handleOf(file)) || failWithError(reason);
}

} // namespace

namespace PlatformFile {

// Windows names the program's file in UTF-16, which a QString carries whole.
QString programDirectory()
{
    return QCoreApplication::applicationDirPath();
}

// Windows has no file-size limit that ends a process.
void failWritesPastSizeLimit()
{
}

Opened open(QFile &file, const QString &path, bool create, QString *readOnlyReason, QString *reason)
{
    const QFileInfo existing(path);
    const bool creating = !existing.exists();
    if (!creating && !existing.isFile())
        return Opened::NotRegular;
    if (creating && !create) {
        failWithError(reason, ERROR_FILE_NOT_FOUND);
        return Opened::Missing;
    }
    file.setFileName(path);
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    bool opened = file.open(QIODevice::ReadWrite | QIODevice::Unbuffered, ownerOnly);
    if (!opened && !creating) {
        *readOnlyReason = file.errorString();
        opened = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    if (!opened) {
        *reason = file.errorString();
        return Opened::Failed;
    }
    // Windows cannot flush a folder, nor needs to: NTFS journals a new
    // entry with the file's own metadata, which flushing the file commits.
    if (creating && !flushFile(file, Flush::Folder, existing.absolutePath(), reason)) {
        file.close();
        return Opened::Failed;
    }
    return Opened::Yes;
}

Locked tryLock(QFile &file, QString *reason)
{
    OVERLAPPED place = lockPlace();
    if (LockFileEx(handleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place))
        return Locked::Yes;
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
        return Locked::HeldElsewhere;
    failWithError(reason, error);
    return Locked::Failed;
}

void unlock(QFile &file)
{
    OVERLAPPED place = lockPlace();
    UnlockFileEx(handleOf(file), 0, 1, 0, &place);
}

bool syncData(QFile &file, QString *reason)
{
    return flushFile(file, Flush::DataFile, QString(), reason);
}

} // namespace PlatformFile
