// Another program at work on a data file, for the tests.
//   otherprogram append FILE WRITER COUNT
//       appends records as the program saves a contact: open, append,
//       close, one record at a time (a COUNT of 0 writes until killed);
//   otherprogram hold FILE lock|unshared|read-shared|lease|write-lease
//       takes the lock that a save takes; or, on Windows, opens the file
//       sharing nothing with other programs, or sharing it for reading
//       alone, as backup tools and viewers do; or, on Linux, takes a lease
//       on the file for reading or for writing, as file servers and sync
//       tools do. Says "held" and keeps it until its standard input ends.

#include "data/platformfile.h"
#include "data/recordfile.h"

#include "writerrecords.h"

#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#endif

namespace {

int append(const QString &path, int writer, int count)
{
    // Many writers may queue for the lock far longer than a user would wait.
    const FileWait wait{ std::chrono::minutes(10), {} };
    for (int sequence = 0; count == 0 || sequence < count; ++sequence) {
        RecordFile file(path, wait);
        if (!file.open(RecordFile::Access::ReadWrite, RecordFile::CreateIfMissing)
            || !file.appendRecord(WriterRecords::record(writer, sequence))) {
            std::fprintf(stderr, "%s\n", qPrintable(file.errorString()));
            return 1;
        }
    }
    return 0;
}

// Windows alone lets a program keep a file to itself, for writing or for
// reading too.
bool holdShared(const QString &path, bool withReaders)
{
#ifdef Q_OS_WIN
    return CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                       withReaders ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
            != INVALID_HANDLE_VALUE;
#else
    Q_UNUSED(path);
    Q_UNUSED(withReaders);
    return false;
#endif
}

// Linux alone has leases: one for reading, which an open for writing
// breaks, or one for writing, which any open breaks. A lease holder is told
// to let go by a signal, which would end it.
bool holdLease(const QString &path, bool forWriting)
{
#ifdef F_SETLEASE
    std::signal(SIGIO, SIG_IGN);
    const int descriptor = ::open(QFile::encodeName(path).constData(), forWriting ? O_RDWR : O_RDONLY);
    return descriptor >= 0 && ::fcntl(descriptor, F_SETLEASE, forWriting ? F_WRLCK : F_RDLCK) == 0;
#else
    Q_UNUSED(path);
    Q_UNUSED(forWriting);
    return false;
#endif
}

bool holdLock(QFile &file, const QString &path, QString *reason)
{
    return PlatformFile::open(file, path, PlatformFile::Access::ReadWrite, false, reason, reason)
                   == PlatformFile::Outcome::Done
            && PlatformFile::tryLock(file, reason) == PlatformFile::Outcome::Done;
}

int hold(const QString &path, const QByteArray &how)
{
    QFile file;
    QString reason;
    const bool held = how == "lock" ? holdLock(file, path, &reason)
            : how == "unshared" || how == "read-shared" ? holdShared(path, how == "read-shared")
                                                        : (how == "lease" || how == "write-lease")
                            && holdLease(path, how == "write-lease");
    if (!held) {
        std::fprintf(stderr, "cannot hold %s: %s\n", qPrintable(path), qPrintable(reason));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 5 && std::strcmp(argv[1], "append") == 0)
        return append(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc == 4 && std::strcmp(argv[1], "hold") == 0)
        return hold(QString::fromLocal8Bit(argv[2]), argv[3]);
    std::fprintf(stderr, "usage: otherprogram append FILE WRITER COUNT | hold FILE lock|unshared|read-shared|lease|write-lease\n");
    return 2;
}
