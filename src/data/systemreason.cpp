#include "systemreason.h"

namespace PlatformFile {

QString describe(SystemReason reason)
{
    switch (reason) {
    case SystemReason::HeldElsewhere:
        return QStringLiteral("otro programa lo está usando; vuelva a intentarlo más tarde");
    case SystemReason::NotRegular:
        return QStringLiteral("no es un archivo normal");
    case SystemReason::AlreadyOpen:
        return QStringLiteral("el archivo ya estaba abierto");
    case SystemReason::NoPermission:
        return QStringLiteral("no tiene permiso para hacerlo");
    case SystemReason::NotFound:
        return QStringLiteral("no existe el archivo o una de sus carpetas");
    case SystemReason::DiskFull:
        return QStringLiteral("el disco está lleno");
    case SystemReason::QuotaExceeded:
        return QStringLiteral("se ha agotado el espacio de disco que tiene asignado");
    case SystemReason::ReadOnlyDisk:
        return QStringLiteral("la unidad solo permite leer");
    case SystemReason::DeviceError:
        return QStringLiteral("el disco no pudo leer o escribir los datos");
    case SystemReason::FileTooLarge:
        return QStringLiteral("el archivo ha llegado al tamaño máximo permitido");
    case SystemReason::NameTooLong:
        return QStringLiteral("la ruta del archivo es demasiado larga");
    case SystemReason::LinkLoop:
        return QStringLiteral("hay demasiados enlaces simbólicos en la ruta");
    case SystemReason::TooManyOpenFiles:
        return QStringLiteral("hay demasiados archivos abiertos");
    case SystemReason::OutOfMemory:
        return QStringLiteral("no hay memoria suficiente");
    case SystemReason::ConnectionLost:
        return QStringLiteral("se ha perdido la conexión con la carpeta de red");
    case SystemReason::DeviceGone:
        return QStringLiteral("la unidad ya no está disponible");
    case SystemReason::NotSupported:
        return QStringLiteral("la unidad no permite esta operación");
    case SystemReason::NoLocks:
        return QStringLiteral("la unidad no permite bloquear el archivo");
    }
    return {};
}

QString describeUnknown(qint64 code, QString systemText)
{
    systemText = systemText.trimmed();
    if (systemText.endsWith(u'.'))
        systemText.chop(1);
    const QString number = QStringLiteral("error %1 del sistema").arg(code);
    return systemText.isEmpty() ? number : QStringLiteral("%1 (%2)").arg(number, systemText);
}

} // namespace PlatformFile
