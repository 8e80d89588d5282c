#include "benchfolder.h"

#include "data/addressrecord.h"

#include <QDir>
#include <QFile>

BenchFolder::BenchFolder(int records, qint64 nulTail)
    : m_directory(QDir::current().filePath(QStringLiteral("ventolia-bench-XXXXXX")))
{
    if (records == NoFile)
        return;
    AddressRecord record;
    record.setField(AddressRecord::Nombre, QStringLiteral("Ana"));
    record.setField(AddressRecord::Apellidos, QStringLiteral("García López"));
    const QByteArray bytes = record.bytes().repeated(records);
    QFile file(dataFilePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()
        || !file.resize(bytes.size() + nulTail))
        qFatal("cannot write %s", qPrintable(dataFilePath()));
}

void BenchFolder::removeDataFile() const
{
    QFile::remove(dataFilePath());
}
