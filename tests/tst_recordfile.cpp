#include "data/addressrecord.h"
#include "data/recordfile.h"

#include "datafiles.h"
#include "unprivileged.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

class tst_RecordFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void dataFilePath_data();
    void dataFilePath();
    void count_data();
    void count();
    void readsEachRecordAtItsPlace();
    void recordLandsAtItsPlace_data();
    void recordLandsAtItsPlace();
    void failedAppendLeavesTheFileAsItWas_data();
    void failedAppendLeavesTheFileAsItWas();
    void newFileIsForItsOwnerOnly();
    void existingFileKeepsItsPermissions();
    void failuresNameOperationPathAndReason_data();
    void failuresNameOperationPathAndReason();

private:
    std::optional<QTemporaryDir> m_directory;
    QString m_path;
};

void tst_RecordFile::initTestCase()
{
    QVERIFY2(prepareForFailingWrites(), "cannot give up root's permission overrides");
}

void tst_RecordFile::init()
{
    m_directory.emplace();
    QVERIFY(m_directory->isValid());
    m_path = m_directory->filePath(u"Ventolia.dat"_s);
}

void tst_RecordFile::dataFilePath_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("path");

    QTest::newRow("plain") << u"/opt/ventolia"_s << u"/opt/ventolia/Ventolia.dat"_s;
    QTest::newRow("trailing separator") << u"/opt/ventolia/"_s << u"/opt/ventolia/Ventolia.dat"_s;
    QTest::newRow("root") << u"/"_s << u"/Ventolia.dat"_s;
    QTest::newRow("spaces and accents") << u"/home/ana/Mis programas/Agenda ñ"_s
                                        << u"/home/ana/Mis programas/Agenda ñ/Ventolia.dat"_s;
}

void tst_RecordFile::dataFilePath()
{
    QFETCH(QString, directory);
    QFETCH(QString, path);

    QCOMPARE(RecordFile::dataFilePath(directory), path);
}

void tst_RecordFile::count_data()
{
    QTest::addColumn<qint64>("bytes"); // -1: no file
    QTest::addColumn<int>("count");    // -1: overflow

    QTest::newRow("no file") << qint64(-1) << 0;
    QTest::newRow("empty") << qint64(0) << 0;
    QTest::newRow("254 bytes") << qint64(254) << 0;
    QTest::newRow("one record") << qint64(255) << 1;
    QTest::newRow("510 bytes") << qint64(510) << 2;
    QTest::newRow("600 bytes") << qint64(600) << 2;
    QTest::newRow("32767 records") << qint64(32767) * 255 << 32767;
    QTest::newRow("32767 records and a piece") << qint64(32767) * 255 + 254 << 32767;
    QTest::newRow("32768 records") << qint64(32768) * 255 << -1;
}

void tst_RecordFile::count()
{
    QFETCH(qint64, bytes);
    QFETCH(int, count);

    if (bytes >= 0) {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(bytes));
    }

    RecordFile recordFile(m_path);
    QVERIFY2(recordFile.open(), qPrintable(recordFile.errorString()));
    QVERIFY(QFile::exists(m_path));
    const std::optional<qint16> counted = recordFile.countRecords();
    if (count < 0) {
        QVERIFY(!counted);
        QVERIFY2(recordFile.errorString().startsWith(u"Desbordamiento"_s),
                 qPrintable(recordFile.errorString()));
        QVERIFY(recordFile.errorString().contains(m_path));
    } else {
        QCOMPARE(counted, std::optional<qint16>(count));
    }
    recordFile.close();
    QCOMPARE(QFileInfo(m_path).size(), qMax(bytes, qint64(0)));
}

void tst_RecordFile::readsEachRecordAtItsPlace()
{
    const QByteArray bytes = DataFiles::threeRecords();
    QVERIFY(DataFiles::write(m_path, bytes));

    RecordFile file(m_path);
    QVERIFY(file.open());
    AddressRecord record;
    for (qint16 number : { 2, 3, 1 }) {
        QVERIFY2(file.readRecord(number, record), qPrintable(file.errorString()));
        QCOMPARE(record.bytes(), bytes.mid((number - 1) * 255, 255));
    }
}

void tst_RecordFile::recordLandsAtItsPlace_data()
{
    QTest::addColumn<bool>("append"); // else written as record number
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<qint16>("number");

    const QByteArray two = DataFiles::record("Ana") + DataFiles::record("Bea");
    QTest::newRow("write first into empty") << false << QByteArray() << qint16(1);
    QTest::newRow("write third after two") << false << two << qint16(3);
    QTest::newRow("write third over a stray piece") << false << two + QByteArray(90, 'x') << qint16(3);
    QTest::newRow("append into an empty file") << true << QByteArray() << qint16(1);
    QTest::newRow("append after two") << true << two << qint16(3);
    QTest::newRow("append over a stray piece of 90 bytes") << true << two + QByteArray(90, 'x') << qint16(3);
    QTest::newRow("append over a stray piece of 254 bytes") << true << two + QByteArray(254, 'x') << qint16(3);
    QTest::newRow("append as the last possible") << true << QByteArray(32766 * 255, 'z') << qint16(32767);
}

// Appending takes the number from the file: the record after the last whole one.
void tst_RecordFile::recordLandsAtItsPlace()
{
    QFETCH(bool, append);
    QFETCH(QByteArray, before);
    QFETCH(qint16, number);
    QVERIFY(DataFiles::write(m_path, before));

    AddressRecord record;
    record.setField(AddressRecord::Nombre, u"Núñez"_s);
    RecordFile file(m_path);
    QVERIFY(file.open());
    if (append)
        QCOMPARE(file.appendRecord(record), std::optional<qint16>(number));
    else
        QVERIFY2(file.writeRecord(number, record), qPrintable(file.errorString()));
    file.close();

    const QByteArray after = DataFiles::read(m_path);
    QCOMPARE(after.size(), number * 255);
    QCOMPARE(after.left((number - 1) * 255), before.left((number - 1) * 255));
    QCOMPARE(after.mid((number - 1) * 255), record.bytes());
}

void tst_RecordFile::failedAppendLeavesTheFileAsItWas_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");

    const QByteArray two = DataFiles::record("Ana") + DataFiles::record("Bea");
    const QByteArray stray(90, 'x');
    QTest::newRow("write stops part-way") << two << u"size limit"_s
                                          << u"No se pudo escribir el registro 3"_s;
    QTest::newRow("write stops part-way over a stray piece")
            << two + stray << u"size limit"_s << u"No se pudo escribir el registro 3"_s;
    QTest::newRow("no room for a single byte") << two << u"no room"_s
                                               << u"No se pudo escribir el registro 3"_s;
    QTest::newRow("read-only file") << two << u"read-only"_s << u"No se pudo añadir"_s;
    QTest::newRow("32767 records") << QByteArray(32767 * 255, 'z') << QString()
                                   << u"Desbordamiento"_s;
    QTest::newRow("32767 records and a stray piece") << QByteArray(32767 * 255, 'z') + stray
                                                     << QString() << u"Desbordamiento"_s;
}

// The system refuses the write itself: a file-size limit cuts it off after
// some bytes, or before any, as a full disk would.
void tst_RecordFile::failedAppendLeavesTheFileAsItWas()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QVERIFY(DataFiles::write(m_path, before));
    if (fault == u"read-only")
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner));

    RecordFile file(m_path);
    QVERIFY(file.open());
    AddressRecord record;
    record.setField(AddressRecord::Nombre, u"Zoe"_s);

    rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = before.size() + (fault == u"size limit" ? 100 : 0);
    const bool limit = fault == u"size limit" || fault == u"no room";
    if (limit)
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::optional<qint16> number = file.appendRecord(record);
    if (limit)
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);

    QVERIFY(!number);
    QVERIFY2(file.errorString().startsWith(message), qPrintable(file.errorString()));
    QVERIFY2(!file.errorString().contains(u"Además"_s), qPrintable(file.errorString()));
    file.close();
    QCOMPARE(DataFiles::read(m_path), before);
}

void tst_RecordFile::newFileIsForItsOwnerOnly()
{
    const mode_t savedMask = umask(0);
    RecordFile file(m_path);
    const bool opened = file.open();
    umask(savedMask);
    QVERIFY(opened);

    struct stat status;
    QCOMPARE(stat(QFile::encodeName(m_path).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0600));
}

void tst_RecordFile::existingFileKeepsItsPermissions()
{
    QVERIFY(DataFiles::write(m_path, DataFiles::record("Ana")));
    QVERIFY(chmod(QFile::encodeName(m_path).constData(), 0664) == 0);

    RecordFile file(m_path);
    QVERIFY(file.open());
    QVERIFY(file.appendRecord(AddressRecord()));
    file.close();

    struct stat status;
    QCOMPARE(stat(QFile::encodeName(m_path).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0664));
    QCOMPARE(QFileInfo(m_path).size(), 510);
}

void tst_RecordFile::failuresNameOperationPathAndReason_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("expected");

    QTest::newRow("open in a missing directory") << u"open"_s << u"No se pudo abrir"_s;
    QTest::newRow("read past the end") << u"read"_s << u"No se pudo leer el registro 3"_s;
    QTest::newRow("write to a full device") << u"write"_s << u"No se pudo escribir el registro 1"_s;
}

void tst_RecordFile::failuresNameOperationPathAndReason()
{
    QFETCH(QString, operation);
    QFETCH(QString, expected);

    QString path = m_path;
    if (operation == u"open")
        path = m_directory->filePath(u"missing/Ventolia.dat"_s);
    else if (operation == u"read")
        QVERIFY(DataFiles::write(path, DataFiles::record("Ana") + DataFiles::record("Bea")));
    else // every write to /dev/full fails with ENOSPC, as on a full disk
        QVERIFY(QFile::link(u"/dev/full"_s, path));

    RecordFile file(path);
    AddressRecord record;
    bool succeeded = file.open();
    if (succeeded && operation == u"read")
        succeeded = file.readRecord(3, record);
    if (succeeded && operation == u"write")
        succeeded = file.writeRecord(1, record);

    QVERIFY(!succeeded);
    const QString message = file.errorString();
    QVERIFY2(message.startsWith(expected), qPrintable(message));
    QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
    const QString reason = message.section(u"»: "_s, 1);
    QVERIFY2(reason.size() > 2, qPrintable(message));
}

QTEST_GUILESS_MAIN(tst_RecordFile)
#include "tst_recordfile.moc"
