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

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

// Sees the system calls that the platform file makes through its table,
// while it lives. Each wrapper calls the function that it replaced, then
// records the call: its name ("open", "stat", "read", "lock", "unlock",
// "flush", "flush folder") and the file or folder that the call was made
// on, as the system names it. Each name in failAfter makes the next call of
// that name fail once it has been made, as a failing disk would fail it;
// a name followed by " held" makes it fail as a call on what another
// program holds does (EAGAIN, ERROR_LOCK_VIOLATION).
class SystemCallRecorder
{
public:
    struct Call
    {
        QString name;
        QString target; // the file or folder, in the system's own separators
        qint64 size;    // at a flush: the file's size as the call saw it
    };

    SystemCallRecorder() : m_saved(PlatformFile::systemCalls())
    {
        instance() = this;
        PlatformFile::SystemCalls &calls = PlatformFile::systemCalls();
#ifdef Q_OS_WIN
        calls.createFile = createFile;
        calls.getFileSize = getFileSize;
        calls.readFile = readFile;
        calls.flushFileBuffers = flushFileBuffers;
        calls.lockFile = lockFile;
        calls.unlockFile = unlockFile;
#else
        calls.fstat = fstat;
        calls.pread = pread;
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
    enum class Failure { None, Fault, HeldElsewhere };
    // Records a call that has been made; whether, and how, it is to fail.
    static Failure recorded(const char *name, const QString &target, qint64 size)
    {
        SystemCallRecorder *recorder = instance();
        const Call call{ QLatin1String(name), target, size };
        recorder->m_calls.append(call);
        if (recorder->onCall)
            recorder->onCall(call);
        if (recorder->failAfter.removeOne(call.name))
            return Failure::Fault;
        return recorder->failAfter.removeOne(call.name + QStringLiteral(" held")) ? Failure::HeldElsewhere : Failure::None;
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
    static BOOL record(const char *name, HANDLE handle, BOOL succeeded)
    {
        const DWORD errors[] = { GetLastError(), ERROR_WRITE_FAULT, ERROR_LOCK_VIOLATION };
        const Failure failure = recorded(name, targetOf(handle), qstrcmp(name, "flush") == 0 ? sizeOf(handle) : -1);
        SetLastError(errors[int(failure)]);
        return failure == Failure::None ? succeeded : FALSE;
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
        return record("read", handle, real().readFile(handle, buffer, length, count, place));
    }
    static BOOL WINAPI flushFileBuffers(HANDLE handle)
    {
        return record("flush", handle, real().flushFileBuffers(handle));
    }
    static BOOL WINAPI lockFile(HANDLE handle, DWORD flags, DWORD reserved, DWORD low, DWORD high,
                                LPOVERLAPPED place)
    {
        return record("lock", handle, real().lockFile(handle, flags, reserved, low, high, place));
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
    static Result record(const char *name, int descriptor, Result result)
    {
        const int errors[] = { errno, EIO, EAGAIN };
        const Failure failure = recorded(name, targetOf(descriptor), qstrcmp(name, "flush") == 0 ? sizeOf(descriptor) : -1);
        errno = errors[int(failure)];
        return failure == Failure::None ? result : Result(-1);
    }
    static int fstat(int descriptor, struct stat *status)
    {
        return record("stat", descriptor, real().fstat(descriptor, status));
    }
    static ssize_t pread(int descriptor, void *buffer, size_t length, off_t offset)
    {
        return record("read", descriptor, real().pread(descriptor, buffer, length, offset));
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
