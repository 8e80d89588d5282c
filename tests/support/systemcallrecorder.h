#ifndef SYSTEMCALLRECORDER_H
#define SYSTEMCALLRECORDER_H

#include "data/systemcalls.h"

#include <QDir>
#include <QFile>
#include <QHash>
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
// call was made on, as the system names it. Each entry of failAfter meets
// the next call of its name once, as "name[@save][:how]":
//   name           the call is made, then fails as a failing disk fails it
//                  (EIO, ERROR_WRITE_FAULT): a write has reached the file;
//   name:held      the same, as a call on what another program holds fails
//                  (EAGAIN, ERROR_LOCK_VIOLATION); name:<number> with that
//                  errno or Windows error code;
//   name:short     a read or write made for half of what it asks (at least a
//                  byte), as the system may;
//   name:nothing   a read or write that is not made and says 0 bytes, with
//                  no error;
//   name:refused:<number>  not made, failing with that code, as a write past
//                  a file-size limit or onto a full disk is;
//   name@save      only a call made while this process holds the file's
//                  lock: a save's, never a browse's.
// fired() lists the entries that have met their call, in order.
class SystemCallRecorder
{
public:
    struct Call
    {
        QString name;
        QString target; // the file or folder, in the system's own separators
        qint64 size;    // at a flush: the file's size as the call saw it;
                        // at a read or a write: the bytes asked for
        bool failed = false; // or did nothing
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
    QStringList fired() const { return m_fired; }

    QStringList failAfter; // the calls to fail, one call for each entry
    // Called after each call is recorded, while the platform file waits for it.
    std::function<void(const Call &)> onCall;

private:
    // What a call of a read or a write is made as.
    enum class Making { Whole, Half, Not };

    static SystemCallRecorder *&instance()
    {
        static SystemCallRecorder *recorder = nullptr;
        return recorder;
    }
    static const PlatformFile::SystemCalls &real() { return instance()->m_saved; }

    // The first entry of failAfter that meets this call, with its "how"; an
    // entry that changes how the call is made is taken before the call, any
    // other once it has been made.
    static std::optional<QString> take(const QString &name, qintptr handle, bool beforeTheCall)
    {
        SystemCallRecorder *recorder = instance();
        for (qsizetype i = 0; i < recorder->failAfter.size(); ++i) {
            const QString entry = recorder->failAfter.at(i);
            const QString callName = entry.section(u':', 0, 0);
            if (callName != name && !(callName == name + QLatin1String("@save") && recorder->m_locked.value(handle)))
                continue;
            const QString how = entry.section(u':', 1);
            const bool changesTheCall = how == u"short" || how == u"nothing" || how.startsWith(u"refused:");
            if (changesTheCall != beforeTheCall)
                return std::nullopt;
            recorder->failAfter.removeAt(i);
            recorder->m_fired << entry;
            return how;
        }
        return std::nullopt;
    }
    // How a read or a write is to be made; *error is set where it is not made
    // and fails.
    static Making making(const char *name, qintptr handle, std::optional<qint64> *error)
    {
        const std::optional<QString> how = take(QLatin1String(name), handle, true);
        instance()->m_metBefore = how.has_value();
        if (how && how->startsWith(u"refused:"))
            *error = how->section(u':', 1).toLongLong();
        return !how ? Making::Whole : *how == u"short" ? Making::Half : Making::Not;
    }
    static qint64 lengthFor(Making how, qint64 length) { return how == Making::Half ? qMax<qint64>(length / 2, 1) : length; }
    // Records a call that has been made, or refused before it was made
    // (refusal); the error that it is to fail with, if any.
    static std::optional<qint64> recorded(const char *name, qintptr handle, qint64 size, bool succeeded,
                                          std::optional<qint64> refusal, qint64 fault, qint64 heldElsewhere)
    {
        SystemCallRecorder *recorder = instance();
        Call call{ QLatin1String(name), targetOf(handle), size };
        recorder->m_calls.append(call);
        if (recorder->onCall)
            recorder->onCall(call);
        std::optional<qint64> failure = refusal;
        const bool met = std::exchange(recorder->m_metBefore, false); // one entry for each call
        if (const std::optional<QString> how = met ? std::nullopt : take(call.name, handle, false))
            failure = how->isEmpty() ? fault : *how == u"held" ? heldElsewhere : how->toLongLong();
        recorder->m_calls.last().failed = failure || !succeeded;
        if (call.name == u"unlock" || (call.name == u"lock" && !recorder->m_calls.last().failed))
            recorder->m_locked[handle] = call.name == u"lock";
        return failure;
    }

#ifdef Q_OS_WIN
    static QString targetOf(qintptr key)
    {
        const HANDLE handle = HANDLE(key);
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
    static BOOL record(const char *name, HANDLE handle, BOOL succeeded, qint64 size = -1,
                       std::optional<qint64> refusal = std::nullopt)
    {
        const DWORD error = GetLastError();
        const std::optional<qint64> failure =
                recorded(name, qintptr(handle), qstrcmp(name, "flush") == 0 ? sizeOf(handle) : size, succeeded,
                         refusal, ERROR_WRITE_FAULT, ERROR_LOCK_VIOLATION);
        SetLastError(failure ? DWORD(*failure) : error);
        return failure ? FALSE : succeeded;
    }
    // ReadFile and WriteFile, made as failAfter says.
    template<typename Call>
    static BOOL transfer(const char *name, HANDLE handle, DWORD length, LPDWORD count, Call call)
    {
        std::optional<qint64> refusal;
        const Making how = making(name, qintptr(handle), &refusal);
        if (how == Making::Not)
            *count = 0;
        const BOOL made = how == Making::Not ? !refusal : call(DWORD(lengthFor(how, length)));
        const BOOL result = record(name, handle, made, length, refusal);
        instance()->m_calls.last().failed |= how == Making::Not; // it did nothing
        return result;
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
        return transfer("read", handle, length, count,
                        [&](DWORD part) { return real().readFile(handle, buffer, part, count, place); });
    }
    static BOOL WINAPI writeFile(HANDLE handle, LPCVOID buffer, DWORD length, LPDWORD count, LPOVERLAPPED place)
    {
        return transfer("write", handle, length, count,
                        [&](DWORD part) { return real().writeFile(handle, buffer, part, count, place); });
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
    static QString targetOf(qintptr descriptor)
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
    static Result record(const char *name, int descriptor, Result result, qint64 size = -1,
                         std::optional<qint64> refusal = std::nullopt)
    {
        const int error = errno;
        const std::optional<qint64> failure =
                recorded(name, descriptor, qstrcmp(name, "flush") == 0 ? sizeOf(descriptor) : size,
                         result >= 0, refusal, EIO, EAGAIN);
        errno = failure ? int(*failure) : error;
        return failure ? Result(-1) : result;
    }
    // pread and pwrite, made as failAfter says.
    template<typename Call>
    static ssize_t transfer(const char *name, int descriptor, size_t length, Call call)
    {
        std::optional<qint64> refusal;
        const Making how = making(name, descriptor, &refusal);
        const ssize_t made = how == Making::Not ? (refusal ? -1 : 0) : call(size_t(lengthFor(how, qint64(length))));
        const ssize_t result = record(name, descriptor, made, qint64(length), refusal);
        instance()->m_calls.last().failed |= how == Making::Not; // it did nothing
        return result;
    }
    static int fstat(int descriptor, struct stat *status)
    {
        return record("stat", descriptor, real().fstat(descriptor, status));
    }
    static ssize_t pread(int descriptor, void *buffer, size_t length, off_t offset)
    {
        return transfer("read", descriptor, length,
                        [&](size_t part) { return real().pread(descriptor, buffer, part, offset); });
    }
    static ssize_t pwrite(int descriptor, const void *buffer, size_t length, off_t offset)
    {
        return transfer("write", descriptor, length,
                        [&](size_t part) { return real().pwrite(descriptor, buffer, part, offset); });
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
    QStringList m_fired;
    bool m_metBefore = false; // the call being made has met its entry
    QHash<qintptr, bool> m_locked; // whether a handle of this process holds the file's lock
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
