#include "platformfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

bool failWithErrno(QString *reason)
{
    *reason = qt_error_string(errno);
    return false;
}

} // namespace

namespace PlatformFile {

bool lockExclusive(QFile &file, QString *reason)
{
    int result;
    do
        result = ::flock(file.handle(), LOCK_EX);
    while (result != 0 && errno == EINTR);
    return result == 0 || failWithErrno(reason);
}

void unlock(QFile &file)
{
    ::flock(file.handle(), LOCK_UN);
}

bool syncData(QFile &file, QString *reason)
{
#ifdef Q_OS_DARWIN
    const int result = ::fcntl(file.handle(), F_FULLFSYNC);
#else
    const int result = ::fdatasync(file.handle());
#endif
    return result == 0 || failWithErrno(reason);
}

bool syncDirectory(const QString &path, QString *reason)
{
    const int directory = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0)
        return failWithErrno(reason);
    // Some file systems cannot flush a directory; there is nothing more to do then.
    const bool synced = ::fsync(directory) == 0 || errno == EINVAL;
    if (!synced)
        failWithErrno(reason);
    ::close(directory);
    return synced;
}

} // namespace PlatformFile
