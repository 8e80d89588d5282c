// Another program at work on a data file, for the tests.
//   otherprogram append FILE WRITER COUNT
//       appends records as the program saves a contact: open, append,
//       close, one record at a time (a COUNT of 0 writes until killed);
//   otherprogram hold FILE lock|unshared|lease
//       takes the lock that a save takes; or, on Windows, opens the file
//       sharing nothing with other programs; or, on Linux, takes a lease on
//       the file, as file servers and sync tools do. Says "held" and keeps
//       it until its standard input ends.

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
        if (!file.open(RecordFile::CreateIfMissing)
            || !file.appendRecord(WriterRecords::record(writer, sequence))) {
            std::fprintf(stderr, "%s\n", qPrintable(file.errorString()));
            return 1;
        }
    }
    return 0;
}

// Windows alone lets a program keep a file to itself.
bool holdUnshared(const QString &path)
{
#ifdef Q_OS_WIN
    return CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
            != INVALID_HANDLE_VALUE;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// Linux alone has leases. A lease holder is told to let go by a signal,
// which would end it.
bool holdLease(const QString &path)
{
#ifdef F_SETLEASE
    std::signal(SIGIO, SIG_IGN);
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    return descriptor >= 0 && ::fcntl(descriptor, F_SETLEASE, F_RDLCK) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

int hold(const QString &path, const char *how)
{
    QFile file;
    QString reason;
    const bool held = std::strcmp(how, "lock") == 0
            ? PlatformFile::open(file, path, false, &reason, &reason) == PlatformFile::Outcome::Done
                    && PlatformFile::tryLock(file, &reason) == PlatformFile::Outcome::Done
            : std::strcmp(how, "unshared") == 0 ? holdUnshared(path)
                                                : std::strcmp(how, "lease") == 0 && holdLease(path);
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
    std::fprintf(stderr, "usage: otherprogram append FILE WRITER COUNT | hold FILE lock|unshared|lease\n");
    return 2;
}
