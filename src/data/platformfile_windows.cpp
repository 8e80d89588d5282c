#include "platformfile.h"
#include "systemcalls.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <io.h>

#include <string>

namespace {

// Windows locks stop other handles from reading or writing what they cover.
// The lock stands on one byte far beyond any record, so that it guards the
// whole file against other savers while everyone can still read it. Every
// build of the program locks this byte.
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

QString systemText(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                                | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0,
                                        nullptr);
    const QString reason = QString::fromWCharArray(text, int(length)).trimmed();
    LocalFree(text);
    return reason;
}

bool failWithError(QString *reason, DWORD error = GetLastError())
{
    *reason = systemText(error);
    return false;
}

// Another program (a backup, an antivirus, a second copy saving) has the
// file open without sharing it, or has locked what the open needs.
bool isHeldElsewhere(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Reading and writing are shared, as Qt's own opens share them, so that two
// copies of the program can have the file open at once.
HANDLE openHandle(const std::wstring &name, DWORD access, DWORD disposition)
{
    return PlatformFile::systemCalls().createFile(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

namespace PlatformFile {

SystemCalls &systemCalls()
{
    static SystemCalls calls = { ::CreateFileW, ::GetFileSizeEx, ::FlushFileBuffers, ::LockFileEx,
                                 ::UnlockFileEx };
    return calls;
}

// Windows names the program's file in UTF-16, which a QString carries whole.
QString programDirectory()
{
    return QCoreApplication::applicationDirPath();
}

// Windows has no file-size limit that ends a process.
void failWritesPastSizeLimit()
{
}

// Without create, a file that is not there is not made: one removed while
// the program runs stays removed.
Opened open(QFile &file, const QString &path, bool create, QString *readOnlyReason, QString *reason)
{
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    QIODevice::OpenMode mode = QIODevice::ReadWrite;
    HANDLE handle = openHandle(name, GENERIC_READ | GENERIC_WRITE, create ? OPEN_ALWAYS : OPEN_EXISTING);
    DWORD error = GetLastError(); // ERROR_ALREADY_EXISTS: OPEN_ALWAYS found the file there
    const bool creating = handle != INVALID_HANDLE_VALUE && create && error != ERROR_ALREADY_EXISTS;
    // Access is denied to a read-only file, which can still be read, and to
    // a folder, which is no file at all.
    const DWORD attributes = handle == INVALID_HANDLE_VALUE ? GetFileAttributesW(name.c_str())
                                                            : INVALID_FILE_ATTRIBUTES;
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES && !folder) {
        *readOnlyReason = systemText(error);
        mode = QIODevice::ReadOnly;
        handle = openHandle(name, GENERIC_READ, OPEN_EXISTING);
        error = GetLastError();
    }
    if (handle == INVALID_HANDLE_VALUE) {
        if (isHeldElsewhere(error))
            return Opened::HeldElsewhere;
        if (folder)
            return Opened::NotRegular;
        failWithError(reason, error);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Opened::Missing
                                                                              : Opened::Failed;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return Opened::NotRegular;
    }
    const int descriptor = _open_osfhandle(intptr_t(handle), mode == QIODevice::ReadOnly ? _O_RDONLY : _O_RDWR);
    if (descriptor < 0) {
        failWithError(reason, ERROR_TOO_MANY_OPEN_FILES);
        CloseHandle(handle);
        return Opened::Failed;
    }
    if (!file.open(descriptor, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        *reason = file.errorString();
        _close(descriptor);
        return Opened::Failed;
    }
    // Windows cannot flush a folder, nor needs to: NTFS journals a new
    // entry with the file's own metadata, which flushing the file commits.
    // Where that fails, the new file is empty: nothing is lost.
    if (creating)
        systemCalls().flushFileBuffers(handle);
    return Opened::Yes;
}

std::optional<qint64> size(QFile &file, QString *reason)
{
    LARGE_INTEGER bytes;
    if (systemCalls().getFileSize(handleOf(file), &bytes))
        return bytes.QuadPart;
    failWithError(reason);
    return std::nullopt;
}

Locked tryLock(QFile &file, QString *reason)
{
    OVERLAPPED place = lockPlace();
    if (systemCalls().lockFile(handleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                               &place))
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
    systemCalls().unlockFile(handleOf(file), 0, 1, 0, &place);
}

bool syncData(QFile &file, QString *reason)
{
    return systemCalls().flushFileBuffers(handleOf(file)) || failWithError(reason);
}

} // namespace PlatformFile
