#ifndef SYSTEMREASON_H
#define SYSTEMREASON_H

#include <QString>

namespace PlatformFile {

// Why the system refused a file operation, as the user is told it: in the
// program's own Spanish words, the same on every system. Each platform
// file maps its system's codes onto these, in one place.
enum class SystemReason {
    HeldElsewhere,
    NotRegular,
    AlreadyOpen,
    NoPermission,
    NotFound,
    DiskFull,
    QuotaExceeded,
    ReadOnlyDisk,
    DeviceError,
    FileTooLarge,
    NameTooLong,
    LinkLoop,
    TooManyOpenFiles,
    OutOfMemory,
    ConnectionLost,
    DeviceGone,
    NotSupported,
    NoLocks,
};

QString describe(SystemReason reason);

// A code that the program has no words for: its number, and the system's
// own text for it where it has one in Spanish (else empty).
QString describeUnknown(qint64 code, QString systemText);

} // namespace PlatformFile

#endif // SYSTEMREASON_H
