#ifndef SYSTEMCALLRECORDER_H
#define SYSTEMCALLRECORDER_H

#include "data/systemcalls.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <cerrno>
#include <functional>
#include <iterator>
#include <optional>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

// Sees the system calls that the platform file makes through its table,
// while it lives. Each wrapper calls the function that it replaced, then
// records the call: its name ("open", "stat", "read", "write", "resize",
// "lock", "unlock", "flush", "flush folder") and the file or folder that the
// call was made on, as the system names it. Each name in failAfter makes
// the next call of that name fail once it has been made, as a failing disk
// would fail it (EIO, ERROR_WRITE_FAULT); "name:held" makes it fail as a
// call on what another program holds does (EAGAIN, ERROR_LOCK_VIOLATION),
// and "name:<number>" with that errno or Windows error code.
class SystemCallRecorder
{
public:
    struct Call
    {
        QString name;
        QString target; // the file or folder, in the system's own separators
        qint64 size;    // at a flush: the file's size as the call saw it;
                        // at a read or a write: the bytes asked for
    };

    SystemCallRecorder() : m_saved(PlatformFile::systemCalls())
    {
        instance() = this;
        PlatformFile::SystemCalls &calls = PlatformFile::systemCalls();
#ifdef Q_OS_WIN
        calls.createFile = createFile;
        calls.getFileSize = getFileSize;
        calls.readFile = readFile;
        calls.writeFile = writeFile;
        calls.setFileInformation = setFileInformation;
        calls.flushFileBuffers = flushFileBuffers;
        calls.lockFile = lockFile;
        calls.unlockFile = unlockFile;
#else
        calls.fstat = fstat;
        calls.pread = pread;
        calls.pwrite = pwrite;
        calls.ftruncate = ftruncate;
        calls.fdatasync = fdatasync;
        calls.fsync = fsync;
        calls.fcntl = fcntl;
#endif
    }
    ~SystemCallRecorder()
    {
        PlatformFile::systemCalls() = m_saved;
        instance() = nullptr;
    }

    QList<Call> calls() const { return m_calls; }
    // The names of the calls made, of those named in only where given.
    QStringList names(const QStringList &only = {}) const
    {
        QStringList names;
        for (const Call &call : m_calls) {
            if (only.isEmpty() || only.contains(call.name))
                names << call.name;
        }
        return names;
    }

    QStringList failAfter; // the calls to fail, one call for each name
    // Called after each call is recorded, while the platform file waits for it.
    std::function<void(const Call &)> onCall;

private:
    static SystemCallRecorder *&instance()
    {
        static SystemCallRecorder *recorder = nullptr;
        return recorder;
    }
    static const PlatformFile::SystemCalls &real() { return instance()->m_saved; }
    // Records a call that has been made; the error that it is to fail
    // with, if any.
    static std::optional<qint64> recorded(const char *name, const QString &target, qint64 size,
                                          qint64 fault, qint64 heldElsewhere)
    {
        SystemCallRecorder *recorder = instance();
        const Call call{ QLatin1String(name), target, size };
        recorder->m_calls.append(call);
        if (recorder->onCall)
            recorder->onCall(call);
        for (qsizetype i = 0; i < recorder->failAfter.size(); ++i) {
            const QStringList failure = recorder->failAfter.at(i).split(u':');
            if (failure.first() != call.name)
                continue;
            recorder->failAfter.removeAt(i);
            if (failure.size() == 1)
                return fault;
            return failure.last() == u"held" ? heldElsewhere : failure.last().toLongLong();
        }
        return std::nullopt;
    }

#ifdef Q_OS_WIN
    static QString targetOf(HANDLE handle)
    {
        wchar_t path[MAX_PATH * 2];
        const DWORD length = GetFinalPathNameByHandleW(handle, path, DWORD(std::size(path)), 0);
        const QString name = QString::fromWCharArray(path, int(length));
        return name.startsWith(u"\\\\?\\") ? name.mid(4) : name;
    }
    static qint64 sizeOf(HANDLE handle)
    {
        LARGE_INTEGER bytes;
        return real().getFileSize(handle, &bytes) ? bytes.QuadPart : -1;
    }
    // The system's reason for the last failure stays the one the call gave.
    static BOOL record(const char *name, HANDLE handle, BOOL succeeded, qint64 size = -1)
    {
        const DWORD error = GetLastError();
        const std::optional<qint64> failure =
                recorded(name, targetOf(handle), qstrcmp(name, "flush") == 0 ? sizeOf(handle) : size,
                         ERROR_WRITE_FAULT, ERROR_LOCK_VIOLATION);
        SetLastError(failure ? DWORD(*failure) : error);
        return failure ? FALSE : succeeded;
    }
    static HANDLE WINAPI createFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                    DWORD disposition, DWORD flags, HANDLE model)
    {
        const HANDLE handle = real().createFile(name, access, share, security, disposition, flags, model);
        if (handle != INVALID_HANDLE_VALUE)
            record("open", handle, TRUE);
        return handle;
    }
    static BOOL WINAPI getFileSize(HANDLE handle, PLARGE_INTEGER size)
    {
        return record("stat", handle, real().getFileSize(handle, size));
    }
    static BOOL WINAPI readFile(HANDLE handle, LPVOID buffer, DWORD length, LPDWORD count, LPOVERLAPPED place)
    {
        return record("read", handle, real().readFile(handle, buffer, length, count, place), length);
    }
    static BOOL WINAPI writeFile(HANDLE handle, LPCVOID buffer, DWORD length, LPDWORD count, LPOVERLAPPED place)
    {
        return record("write", handle, real().writeFile(handle, buffer, length, count, place), length);
    }
    static BOOL WINAPI setFileInformation(HANDLE handle, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information,
                                          DWORD length)
    {
        return record("resize", handle, real().setFileInformation(handle, kind, information, length));
    }
    static BOOL WINAPI flushFileBuffers(HANDLE handle)
    {
        return record("flush", handle, real().flushFileBuffers(handle));
    }
    // A lock that is made to fail is let go: a handle's second lock of the
    // same byte would fail for real on Windows.
    static BOOL WINAPI lockFile(HANDLE handle, DWORD flags, DWORD reserved, DWORD low, DWORD high,
                                LPOVERLAPPED place)
    {
        const BOOL locked = real().lockFile(handle, flags, reserved, low, high, place);
        const BOOL result = record("lock", handle, locked);
        if (locked && !result) {
            const DWORD error = GetLastError();
            real().unlockFile(handle, 0, low, high, place);
            SetLastError(error);
        }
        return result;
    }
    static BOOL WINAPI unlockFile(HANDLE handle, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED place)
    {
        return record("unlock", handle, real().unlockFile(handle, reserved, low, high, place));
    }
#else
    static QString targetOf(int descriptor)
    {
#ifdef Q_OS_LINUX
        char path[4096];
        const QByteArray link = "/proc/self/fd/" + QByteArray::number(descriptor);
        const ssize_t length = ::readlink(link.constData(), path, sizeof path);
        return length > 0 ? QFile::decodeName(QByteArray(path, length)) : QString();
#else
        Q_UNUSED(descriptor);
        return {};
#endif
    }
    static qint64 sizeOf(int descriptor)
    {
        struct stat status;
        return real().fstat(descriptor, &status) == 0 ? status.st_size : -1;
    }
    // The system's reason for the last failure stays the one the call gave.
    template<typename Result>
    static Result record(const char *name, int descriptor, Result result, qint64 size = -1)
    {
        const int error = errno;
        const std::optional<qint64> failure = recorded(
                name, targetOf(descriptor), qstrcmp(name, "flush") == 0 ? sizeOf(descriptor) : size, EIO, EAGAIN);
        errno = failure ? int(*failure) : error;
        return failure ? Result(-1) : result;
    }
    static int fstat(int descriptor, struct stat *status)
    {
        return record("stat", descriptor, real().fstat(descriptor, status));
    }
    static ssize_t pread(int descriptor, void *buffer, size_t length, off_t offset)
    {
        return record("read", descriptor, real().pread(descriptor, buffer, length, offset), qint64(length));
    }
    static ssize_t pwrite(int descriptor, const void *buffer, size_t length, off_t offset)
    {
        return record("write", descriptor, real().pwrite(descriptor, buffer, length, offset), qint64(length));
    }
    static int ftruncate(int descriptor, off_t length)
    {
        return record("resize", descriptor, real().ftruncate(descriptor, length));
    }
    static int fdatasync(int descriptor) { return record("flush", descriptor, real().fdatasync(descriptor)); }
    static int fsync(int descriptor) { return record("flush folder", descriptor, real().fsync(descriptor)); }
    static int fcntl(int descriptor, int command, struct flock *lock)
    {
        const char *name = lock->l_type == F_UNLCK ? "unlock" : "lock";
        return record(name, descriptor, real().fcntl(descriptor, command, lock));
    }
#endif

    const PlatformFile::SystemCalls m_saved;
    QList<Call> m_calls;
};

// Whether another handle could take a shared lock over every byte that
// records may occupy: it could not, were a saver's lock standing on them.
inline bool recordsCanBeShareLocked(const QString &path)
{
    constexpr qint64 recordBytes = qint64(32767) * 255;
#ifdef Q_OS_WIN
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                                      GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED place = {};
    const bool locked = LockFileEx(handle, LOCKFILE_FAIL_IMMEDIATELY, 0, DWORD(recordBytes), 0, &place);
    if (locked)
        UnlockFileEx(handle, 0, DWORD(recordBytes), 0, &place);
    CloseHandle(handle);
    return locked;
#else
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_len = recordBytes;
    const bool locked = ::fcntl(descriptor, F_OFD_SETLK, &lock) == 0;
    ::close(descriptor);
    return locked;
#endif
}

#endif // SYSTEMCALLRECORDER_H
