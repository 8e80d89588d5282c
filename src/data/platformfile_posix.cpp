#include "platformfile.h"
#include "systemcalls.h"
#include "systemreason.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

using PlatformFile::Outcome;
using PlatformFile::SystemReason;
using PlatformFile::describe;
using PlatformFile::describeUnknown;

namespace {

// What the system's errors mean to the program, and the words that tell
// the user why: the one place where they are read.
struct Answer
{
    int error;
    Outcome outcome;
    SystemReason reason;
};

constexpr Answer answers[] = {
    { EAGAIN, Outcome::HeldElsewhere, SystemReason::HeldElsewhere }, // a lease on the file, or a lock
    { EWOULDBLOCK, Outcome::HeldElsewhere, SystemReason::HeldElsewhere },
    { ENOENT, Outcome::Missing, SystemReason::NotFound },
    { ENOTDIR, Outcome::Failed, SystemReason::NotFound },
    { EISDIR, Outcome::NotRegular, SystemReason::NotRegular },
    { EACCES, Outcome::Failed, SystemReason::NoPermission },
    { EPERM, Outcome::Failed, SystemReason::NoPermission },
    { ENOSPC, Outcome::Failed, SystemReason::DiskFull },
    { EDQUOT, Outcome::Failed, SystemReason::QuotaExceeded },
    { EROFS, Outcome::Failed, SystemReason::ReadOnlyDisk },
    { EIO, Outcome::Failed, SystemReason::DeviceError },
    { EFBIG, Outcome::Failed, SystemReason::FileTooLarge },
    { ENAMETOOLONG, Outcome::Failed, SystemReason::NameTooLong },
    { ELOOP, Outcome::Failed, SystemReason::LinkLoop },
    { EMFILE, Outcome::Failed, SystemReason::TooManyOpenFiles },
    { ENFILE, Outcome::Failed, SystemReason::TooManyOpenFiles },
    { ENOMEM, Outcome::Failed, SystemReason::OutOfMemory },
    { ESTALE, Outcome::Failed, SystemReason::ConnectionLost }, // a network file system's file
    { ENOTCONN, Outcome::Failed, SystemReason::ConnectionLost },
    { ETIMEDOUT, Outcome::Failed, SystemReason::ConnectionLost },
    { ENODEV, Outcome::Failed, SystemReason::DeviceGone }, // a drive taken out
    { ENXIO, Outcome::Failed, SystemReason::DeviceGone },
    { EINVAL, Outcome::Failed, SystemReason::NotSupported }, // a flush that the file system lacks
    { ENOTSUP, Outcome::Failed, SystemReason::NotSupported },
    { ENOLCK, Outcome::Failed, SystemReason::NoLocks }, // locks on a network file system
};

// The system's own text for an error, only where it is in Spanish: where
// the user's language for messages is Spanish and the C library has words
// in it, which differ from those of the C locale. No English word reaches
// the user.
QString systemText(int error)
{
    const char *language = nullptr;
    for (const char *variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        language = std::getenv(variable);
        if (language && *language)
            break;
    }
    if (!language || std::strncmp(language, "es", 2) != 0)
        return {};
    const QString text = QString::fromLocal8Bit(std::strerror(error));
    const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    const QString inC = c ? QString::fromLocal8Bit(::strerror_l(error, c)) : text;
    if (c)
        ::freelocale(c);
    return text == inC ? QString() : text;
}

Outcome outcomeOf(int error, QString *reason)
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

constexpr char16_t escapedByte = 0xDC00; // U+DC80-U+DCFF carry the bytes 0x80-0xFF

// Valid UTF-8 as text; each byte of anything else as U+DC00 + byte.
QString decodeName(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes)
        return text;
    QString name;
    for (qsizetype i = 0; i < bytes.size();) {
        // The longest run that decodes to one character and back to itself.
        qsizetype length = 4;
        QString character;
        for (; length > 0; --length) {
            character = QString::fromUtf8(bytes.mid(i, length));
            if (QStringView(character).toUcs4().size() == 1 && character.toUtf8() == bytes.mid(i, length))
                break;
        }
        name += length > 0 ? character : QString(QChar(escapedByte + uchar(bytes[i])));
        i += qMax<qsizetype>(length, 1);
    }
    return name;
}

// The file name as the system takes it: decodeName() undone.
QByteArray systemName(const QString &name)
{
    QByteArray bytes;
    qsizetype textStart = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const bool escaped = i < name.size() && name[i].unicode() >= escapedByte + 0x80
                && name[i].unicode() <= escapedByte + 0xFF
                && !(i > 0 && name[i - 1].isHighSurrogate()); // else half of a character
        if (!escaped && i < name.size())
            continue;
        bytes += QStringView(name).sliced(textStart, i - textStart).toUtf8();
        if (escaped)
            bytes += char(name[i].unicode() - escapedByte);
        textStart = i + 1;
    }
    return bytes;
}

// The byte that every build of the program locks: far past any record, so
// that no reader is ever kept out, where Windows puts its lock too.
constexpr off_t lockOffset = off_t(1) << 62;

// A lock of the open file description itself, as Windows' own are (and
// flock's were): another open of the file in the same process is kept out
// too. Where there is none, a process's own lock serves, as every
// operation opens the file once.
#ifdef F_OFD_SETLK
constexpr int setLock = F_OFD_SETLK;
#else
constexpr int setLock = F_SETLK;
#endif

bool setLockOn(QFile &file, short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = lockOffset;
    lock.l_len = 1;
    return PlatformFile::systemCalls().fcntl(file.handle(), setLock, &lock) == 0;
}

// Makes the entry of a file just created at path durable: in the folder where
// the file really lies, whatever symbolic links led there. A folder that
// cannot be read, or whose file system cannot flush it, is left as it is.
void makeNewFileDurable(const QByteArray &path)
{
    char *const real = ::realpath(path.constData(), nullptr);
    if (!real)
        return;
    QByteArray folder(real);
    std::free(real);
    folder.truncate(qMax<qsizetype>(folder.lastIndexOf('/'), 1));
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    PlatformFile::systemCalls().fsync(descriptor);
    ::close(descriptor);
}

// A read or a write at a place, made again where a signal cut it short
// before it began.
template<typename Call>
Outcome transfer(Call call, qint64 *count, QString *reason)
{
    ssize_t result;
    do
        result = call();
    while (result < 0 && errno == EINTR);
    if (result < 0)
        return outcomeOf(errno, reason);
    *count = result;
    return Outcome::Done;
}

#ifdef Q_OS_DARWIN
// F_FULLFSYNC reaches the disk itself; where the file system lacks it,
// fsync is what there is.
int syncToDisk(int descriptor)
{
    return ::fcntl(descriptor, F_FULLFSYNC) == 0 ? 0 : ::fsync(descriptor);
}
#endif

} // namespace

namespace PlatformFile {

SystemCalls &systemCalls()
{
    static SystemCalls calls = {
        ::fstat,
        ::pread,
        ::pwrite,
        ::ftruncate,
#ifdef Q_OS_DARWIN
        syncToDisk,
#else
        ::fdatasync,
#endif
        ::fsync,
        [](int descriptor, int command, struct flock *lock) { return ::fcntl(descriptor, command, lock); },
    };
    return calls;
}

// Qt's own answer is text, which cannot carry a folder name that is not
// UTF-8: where it cannot, Qt gives an empty path.
QString programDirectory()
{
#ifdef Q_OS_LINUX
    QByteArray executable(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", executable.data(), executable.size());
    if (length > 0 && length < executable.size()) {
        executable.truncate(length);
        executable.truncate(qMax<qsizetype>(executable.lastIndexOf('/'), 1));
        return decodeName(executable);
    }
#endif
    return QCoreApplication::applicationDirPath();
}

void failWritesPastSizeLimit()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

Outcome open(QFile &file, const QString &path, Access access, bool create, QString *readOnlyReason,
             QString *reason)
{
    const QByteArray name = systemName(path);
    // Neither a FIFO's open waits for a writer, nor the open of a file that
    // another program has a lease on for the lease to be broken: both fail
    // at once, and the lease is waited out by the caller, busy. A regular
    // file is otherwise opened as without O_NONBLOCK. An open for reading
    // breaks only a lease for writing.
    const int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    QIODevice::OpenMode mode = QIODevice::ReadOnly;
    int descriptor = -1;
    if (access == Access::ReadWrite) {
        mode = QIODevice::ReadWrite;
        descriptor = ::open(name.constData(), flags | O_RDWR);
        if (descriptor < 0 && (errno == EACCES || errno == EROFS)) {
            outcomeOf(errno, readOnlyReason);
            mode = QIODevice::ReadOnly;
        }
    }
    if (mode == QIODevice::ReadOnly)
        descriptor = ::open(name.constData(), flags | O_RDONLY);
    const bool creating = descriptor < 0 && errno == ENOENT && create;
    if (creating) {
        mode = QIODevice::ReadWrite;
        descriptor = ::open(name.constData(), flags | O_RDWR | O_CREAT, 0600);
    }
    if (descriptor < 0)
        return outcomeOf(errno, reason);

    struct stat status;
    if (systemCalls().fstat(descriptor, &status) != 0) {
        const Outcome outcome = outcomeOf(errno, reason);
        ::close(descriptor);
        return outcome;
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(descriptor);
        *reason = describe(SystemReason::NotRegular);
        return Outcome::NotRegular;
    }
    if (!file.open(descriptor, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        *reason = describe(SystemReason::AlreadyOpen);
        return Outcome::Failed;
    }
    if (creating)
        makeNewFileDurable(name);
    return Outcome::Done;
}

std::optional<qint64> size(QFile &file, QString *reason)
{
    struct stat status;
    if (systemCalls().fstat(file.handle(), &status) == 0)
        return status.st_size;
    outcomeOf(errno, reason);
    return std::nullopt;
}

Outcome read(QFile &file, qint64 offset, char *data, qint64 length, qint64 *count, QString *reason)
{
    return transfer([&] { return systemCalls().pread(file.handle(), data, size_t(length), off_t(offset)); },
                    count, reason);
}

Outcome write(QFile &file, qint64 offset, const char *data, qint64 length, qint64 *count, QString *reason)
{
    return transfer([&] { return systemCalls().pwrite(file.handle(), data, size_t(length), off_t(offset)); },
                    count, reason);
}

bool setSize(QFile &file, qint64 size, QString *reason)
{
    if (systemCalls().ftruncate(file.handle(), off_t(size)) == 0)
        return true;
    outcomeOf(errno, reason);
    return false;
}

Outcome tryLock(QFile &file, QString *reason)
{
    if (setLockOn(file, F_WRLCK))
        return Outcome::Done;
    // fcntl may tell of a lock held elsewhere with EACCES as well.
    return outcomeOf(errno == EACCES ? EAGAIN : errno, reason);
}

void unlock(QFile &file)
{
    setLockOn(file, F_UNLCK);
}

bool syncData(QFile &file, QString *reason)
{
    if (systemCalls().fdatasync(file.handle()) == 0)
        return true;
    outcomeOf(errno, reason);
    return false;
}

} // namespace PlatformFile
