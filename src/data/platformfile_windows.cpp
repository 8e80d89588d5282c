#include "platformfile.h"
#include "systemcalls.h"
#include "systemreason.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <io.h>

#include <string>

using PlatformFile::Outcome;
using PlatformFile::SystemReason;
using PlatformFile::describe;
using PlatformFile::describeUnknown;

namespace {

// What the system's errors mean to the program, and the words that tell
// the user why: the one place where they are read.
struct Answer
{
    DWORD error;
    Outcome outcome;
    SystemReason reason;
};

constexpr Answer answers[] = {
    { ERROR_SHARING_VIOLATION, Outcome::HeldElsewhere, SystemReason::HeldElsewhere }, // opened without sharing
    { ERROR_LOCK_VIOLATION, Outcome::HeldElsewhere, SystemReason::HeldElsewhere },    // locked elsewhere
    { ERROR_FILE_NOT_FOUND, Outcome::Missing, SystemReason::NotFound },
    { ERROR_PATH_NOT_FOUND, Outcome::Missing, SystemReason::NotFound },
    { ERROR_DIRECTORY, Outcome::NotRegular, SystemReason::NotRegular },
    { ERROR_ACCESS_DENIED, Outcome::Failed, SystemReason::NoPermission },
    { ERROR_DISK_FULL, Outcome::Failed, SystemReason::DiskFull },
    { ERROR_HANDLE_DISK_FULL, Outcome::Failed, SystemReason::DiskFull },
    { ERROR_WRITE_PROTECT, Outcome::Failed, SystemReason::ReadOnlyDisk },
    { ERROR_CRC, Outcome::Failed, SystemReason::DeviceError },
    { ERROR_IO_DEVICE, Outcome::Failed, SystemReason::DeviceError },
    { ERROR_READ_FAULT, Outcome::Failed, SystemReason::DeviceError },
    { ERROR_WRITE_FAULT, Outcome::Failed, SystemReason::DeviceError },
    { ERROR_FILE_TOO_LARGE, Outcome::Failed, SystemReason::FileTooLarge },
    { ERROR_FILENAME_EXCED_RANGE, Outcome::Failed, SystemReason::NameTooLong },
    { ERROR_CANT_RESOLVE_FILENAME, Outcome::Failed, SystemReason::LinkLoop },
    { ERROR_TOO_MANY_OPEN_FILES, Outcome::Failed, SystemReason::TooManyOpenFiles },
    { ERROR_NOT_ENOUGH_MEMORY, Outcome::Failed, SystemReason::OutOfMemory },
    { ERROR_OUTOFMEMORY, Outcome::Failed, SystemReason::OutOfMemory },
    { ERROR_NETNAME_DELETED, Outcome::Failed, SystemReason::ConnectionLost }, // a network folder's file
    { ERROR_BAD_NETPATH, Outcome::Failed, SystemReason::ConnectionLost },
    { ERROR_UNEXP_NET_ERR, Outcome::Failed, SystemReason::ConnectionLost },
    { ERROR_DEV_NOT_EXIST, Outcome::Failed, SystemReason::ConnectionLost }, // a network resource no longer there
    { ERROR_NOT_READY, Outcome::Failed, SystemReason::DeviceGone },         // a drive taken out
    { ERROR_DEVICE_NOT_CONNECTED, Outcome::Failed, SystemReason::DeviceGone },
    { ERROR_INVALID_FUNCTION, Outcome::Failed, SystemReason::NotSupported }, // a flush that the device lacks
    { ERROR_NOT_SUPPORTED, Outcome::Failed, SystemReason::NotSupported },
    { ERROR_LOCK_FAILED, Outcome::Failed, SystemReason::NoLocks },
};

// The system's own text for an error, only where it is in Spanish: where
// the user's language for Windows is Spanish. No English word reaches the
// user.
QString systemText(DWORD error)
{
    const LANGID language = GetUserDefaultUILanguage();
    if (PRIMARYLANGID(language) != LANG_SPANISH)
        return {};
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                                | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, language, reinterpret_cast<wchar_t *>(&text), 0,
                                        nullptr);
    const QString reason = QString::fromWCharArray(text, int(length));
    LocalFree(text);
    return reason;
}

Outcome outcomeOf(DWORD error, QString *reason)
{
    for (const Answer &answer : answers) {
        if (answer.error == error) {
            *reason = describe(answer.reason);
            return answer.outcome;
        }
    }
    *reason = describeUnknown(error, systemText(error));
    return Outcome::Failed;
}

// Windows names files in UTF-16, which a QString carries whole.
std::wstring systemName(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// Windows locks stop other handles from reading or writing what they cover.
// The lock stands on one byte far beyond any record, so that it guards the
// whole file against other savers while everyone can still read it. Every
// build of the program locks this byte.
constexpr quint64 lockOffset = quint64(1) << 62;

HANDLE handleOf(QFile &file)
{
    return HANDLE(_get_osfhandle(file.handle()));
}

// Where a positioned read or write, or a lock, begins. Nothing here reads or
// writes at the handle's own position, which a call at a place moves.
OVERLAPPED placeAt(quint64 offset)
{
    OVERLAPPED place = {};
    place.Offset = DWORD(offset);
    place.OffsetHigh = DWORD(offset >> 32);
    return place;
}

// What one call reads or writes at most: longer transfers take more calls.
DWORD oneCall(qint64 length)
{
    return DWORD(qMin<qint64>(length, MAXDWORD));
}

// A read or a write at a place, ReadFile and WriteFile taking the same
// arguments. Past the end of the file, ReadFile at a place fails with
// ERROR_HANDLE_EOF: it read nothing.
template<typename Call, typename Data>
Outcome transfer(Call call, QFile &file, qint64 offset, Data data, qint64 length, qint64 *count, QString *reason)
{
    OVERLAPPED place = placeAt(quint64(offset));
    DWORD result = 0;
    if (!call(handleOf(file), data, oneCall(length), &result, &place) && GetLastError() != ERROR_HANDLE_EOF)
        return outcomeOf(GetLastError(), reason);
    *count = result;
    return Outcome::Done;
}

// Windows cannot flush a folder, nor needs to: NTFS journals a new entry
// with the file's own metadata, which flushing the file commits. Where that
// fails, the new file is empty: nothing is lost.
void makeNewFileDurable(HANDLE handle)
{
    PlatformFile::systemCalls().flushFileBuffers(handle);
}

bool isFolder(const std::wstring &name)
{
    const DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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
    static SystemCalls calls = { ::CreateFileW, ::GetFileSizeEx, ::ReadFile, ::WriteFile,
                                 ::SetFileInformationByHandle, ::FlushFileBuffers, ::LockFileEx,
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
// the program runs stays removed. An open for reading asks for no more, so
// that a program that shares the file for reading alone is no reason to
// wait.
Outcome open(QFile &file, const QString &path, Access access, bool create, QString *readOnlyReason,
             QString *reason)
{
    const std::wstring name = systemName(path);
    QIODevice::OpenMode mode = QIODevice::ReadOnly;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SUCCESS;
    if (access == Access::ReadWrite) {
        mode = QIODevice::ReadWrite;
        handle = openHandle(name, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        error = GetLastError();
        // Access is denied to a read-only file, which can still be read, and
        // to a folder, which is no file at all.
        if (handle == INVALID_HANDLE_VALUE && error == ERROR_ACCESS_DENIED && !isFolder(name)) {
            outcomeOf(error, readOnlyReason);
            mode = QIODevice::ReadOnly;
        }
    }
    if (mode == QIODevice::ReadOnly) {
        handle = openHandle(name, GENERIC_READ, OPEN_EXISTING);
        error = GetLastError();
    }
    const bool creating = handle == INVALID_HANDLE_VALUE && error == ERROR_FILE_NOT_FOUND && create;
    if (creating) {
        mode = QIODevice::ReadWrite;
        handle = openHandle(name, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        error = GetLastError();
    }
    if (handle == INVALID_HANDLE_VALUE && error == ERROR_ACCESS_DENIED && isFolder(name))
        error = ERROR_DIRECTORY;
    if (handle == INVALID_HANDLE_VALUE)
        return outcomeOf(error, reason);
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        *reason = describe(SystemReason::NotRegular);
        return Outcome::NotRegular;
    }
    const int descriptor = _open_osfhandle(intptr_t(handle), mode == QIODevice::ReadOnly ? _O_RDONLY : _O_RDWR);
    if (descriptor < 0) {
        CloseHandle(handle);
        return outcomeOf(ERROR_TOO_MANY_OPEN_FILES, reason);
    }
    if (!file.open(descriptor, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        _close(descriptor);
        *reason = describe(SystemReason::AlreadyOpen);
        return Outcome::Failed;
    }
    if (creating)
        makeNewFileDurable(handle);
    return Outcome::Done;
}

std::optional<qint64> size(QFile &file, QString *reason)
{
    LARGE_INTEGER bytes;
    if (systemCalls().getFileSize(handleOf(file), &bytes))
        return bytes.QuadPart;
    outcomeOf(GetLastError(), reason);
    return std::nullopt;
}

Outcome read(QFile &file, qint64 offset, char *data, qint64 length, qint64 *count, QString *reason)
{
    return transfer(systemCalls().readFile, file, offset, data, length, count, reason);
}

Outcome write(QFile &file, qint64 offset, const char *data, qint64 length, qint64 *count, QString *reason)
{
    return transfer(systemCalls().writeFile, file, offset, data, length, count, reason);
}

bool setSize(QFile &file, qint64 size, QString *reason)
{
    FILE_END_OF_FILE_INFO end = {};
    end.EndOfFile.QuadPart = size;
    if (systemCalls().setFileInformation(handleOf(file), FileEndOfFileInfo, &end, sizeof end))
        return true;
    outcomeOf(GetLastError(), reason);
    return false;
}

Outcome tryLock(QFile &file, QString *reason)
{
    OVERLAPPED place = placeAt(lockOffset);
    if (systemCalls().lockFile(handleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                               &place))
        return Outcome::Done;
    // LockFileEx may tell of a lock held elsewhere with ERROR_IO_PENDING as well.
    const DWORD error = GetLastError();
    return outcomeOf(error == ERROR_IO_PENDING ? ERROR_LOCK_VIOLATION : error, reason);
}

void unlock(QFile &file)
{
    OVERLAPPED place = placeAt(lockOffset);
    systemCalls().unlockFile(handleOf(file), 0, 1, 0, &place);
}

bool syncData(QFile &file, QString *reason)
{
    if (systemCalls().flushFileBuffers(handleOf(file)))
        return true;
    outcomeOf(GetLastError(), reason);
    return false;
}

} // namespace PlatformFile
