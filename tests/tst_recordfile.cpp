#include "data/addressrecord.h"
#include "data/platformfile.h"
#include "data/recordfile.h"

#include "datafiles.h"
#include "heldfile.h"
#include "systemcallrecorder.h"
#include "unprivileged.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <optional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

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
    void newFileIsMadeDurableWhereItLands_data();
    void newFileIsMadeDurableWhereItLands();
    void heldElsewhere_data();
    void heldElsewhere();
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
    QTest::addColumn<qint64>("bytes");     // -1: no file
    QTest::addColumn<qint64>("shrinksTo"); // by another program, once the size is taken; -1: it does not
    QTest::addColumn<int>("count");        // -1: overflow

    QTest::newRow("no file") << qint64(-1) << qint64(-1) << 0;
    QTest::newRow("empty") << qint64(0) << qint64(-1) << 0;
    QTest::newRow("254 bytes") << qint64(254) << qint64(-1) << 0;
    QTest::newRow("one record") << qint64(255) << qint64(-1) << 1;
    QTest::newRow("510 bytes") << qint64(510) << qint64(-1) << 2;
    QTest::newRow("600 bytes") << qint64(600) << qint64(-1) << 2;
    QTest::newRow("32767 records") << qint64(32767) * 255 << qint64(-1) << 32767;
    QTest::newRow("32767 records and a piece") << qint64(32767) * 255 + 254 << qint64(-1) << 32767;
    QTest::newRow("32768 records") << qint64(32768) * 255 << qint64(-1) << -1;
    QTest::newRow("1000 records cut to 2 as they are counted") << qint64(1000) * 255 << qint64(510) << 2;
}

void tst_RecordFile::count()
{
    QFETCH(qint64, bytes);
    QFETCH(qint64, shrinksTo);
    QFETCH(int, count);

    if (bytes >= 0)
        QVERIFY(DataFiles::write(m_path, QByteArray(bytes, ' ')));

    RecordFile recordFile(m_path);
    QVERIFY2(recordFile.open(RecordFile::Access::Read, RecordFile::CreateIfMissing),
             qPrintable(recordFile.errorString()));
    QVERIFY(QFile::exists(m_path));
    SystemCallRecorder recorder;
    recorder.onCall = [&](const SystemCallRecorder::Call &call) {
        if (call.name == u"stat" && shrinksTo >= 0 && QFileInfo(m_path).size() > shrinksTo)
            QVERIFY(QFile::resize(m_path, bytes = shrinksTo));
    };
    const std::optional<qint16> counted = recordFile.countRecords();
    if (count < 0) {
        QVERIFY(!counted);
        QVERIFY2(recordFile.errorString().startsWith(u"Desbordamiento"_s),
                 qPrintable(recordFile.errorString()));
        QVERIFY(recordFile.errorString().contains(QDir::toNativeSeparators(m_path)));
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
    QVERIFY(file.open(RecordFile::Access::Read));
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
    QTest::addColumn<qint64>("nulTail"); // NUL bytes after it, as a sparse file has them
    QTest::addColumn<qint16>("number");  // one past the records counted

    const QByteArray two = DataFiles::record("Ana") + DataFiles::record("Bea");
    const QByteArray three = DataFiles::threeRecords();
    const QByteArray room(255, '\0'); // what a save cut short by a power loss can leave
    QTest::newRow("write first into empty") << false << QByteArray() << 0LL << qint16(1);
    QTest::newRow("write third after two") << false << two << 0LL << qint16(3);
    QTest::newRow("write third over a stray piece") << false << two + QByteArray(90, 'x') << 0LL << qint16(3);
    QTest::newRow("append into an empty file") << true << QByteArray() << 0LL << qint16(1);
    QTest::newRow("append after two") << true << two << 0LL << qint16(3);
    QTest::newRow("append over a stray piece of 90 bytes") << true << two + QByteArray(90, 'x') << 0LL << qint16(3);
    QTest::newRow("append over a stray piece of 254 bytes") << true << two + QByteArray(254, 'x') << 0LL << qint16(3);
    QTest::newRow("append over a record's room of NULs") << true << two << 255LL << qint16(3);
    QTest::newRow("append over two records' room of NULs") << true << two << 510LL << qint16(3);
    QTest::newRow("append over 256 records' room of NULs") << true << three << 256 * 255LL << qint16(4);
    // More NULs than saves leave are no room of theirs: whole records.
    QTest::newRow("append after 300 records' room of NULs") << true << three << 300 * 255LL << qint16(304);
    QTest::newRow("append after a record torn into NULs")
            << true << two + QByteArray(100, 'x') + QByteArray(155, '\0') << 0LL << qint16(4);
    QTest::newRow("append after a room of NULs that a record follows")
            << true << room + DataFiles::record("Ana") << 0LL << qint16(3);
    QTest::newRow("append as the last possible") << true << QByteArray(32766 * 255, 'z') << 0LL << qint16(32767);
}

// Appending takes the number from the file: the record after the last one,
// over what lies beyond it.
void tst_RecordFile::recordLandsAtItsPlace()
{
    QFETCH(bool, append);
    QFETCH(QByteArray, before);
    QFETCH(qint64, nulTail);
    QFETCH(qint16, number);
    QVERIFY(DataFiles::write(m_path, before));
    QVERIFY(QFile::resize(m_path, before.size() + nulTail));
    before += QByteArray(nulTail, '\0');

    AddressRecord record;
    record.setField(AddressRecord::Nombre, u"Núñez"_s);
    RecordFile file(m_path);
    QVERIFY(file.open(RecordFile::Access::ReadWrite));
    QCOMPARE(file.countRecords(), std::optional<qint16>(number - 1));
    SystemCallRecorder recorder;
    bool recordsReadable = false;
    recorder.onCall = [&](const SystemCallRecorder::Call &call) {
        if (call.name == u"flush")
            recordsReadable = recordsCanBeShareLocked(m_path);
    };
    if (append)
        QCOMPARE(file.appendRecord(record), std::optional<qint16>(number));
    else
        QVERIFY2(file.writeRecord(number, record), qPrintable(file.errorString()));
    file.close();

    // An append is flushed once, whole, on the data file, under a lock that
    // keeps no reader from the records.
    const QByteArray expected = QByteArray(before).replace((number - 1) * 255, 255, record.bytes());
    const QStringList durability = { u"lock"_s, u"flush"_s, u"unlock"_s };
    QCOMPARE(recorder.names(durability), append ? durability : QStringList());
    for (const SystemCallRecorder::Call &call : recorder.calls())
        QCOMPARE(QFileInfo(call.target), QFileInfo(m_path));
    if (append) {
        QCOMPARE(recorder.calls().at(recorder.names().indexOf(u"flush"_s)).size, expected.size());
        QVERIFY(recordsReadable);
    }
    QCOMPARE(DataFiles::read(m_path), expected);
}

void tst_RecordFile::failedAppendLeavesTheFileAsItWas_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<qint64>("nulTail"); // NUL bytes after it, as a sparse file has them
    QTest::addColumn<QString>("faults");  // system calls made to fail, a file-size limit, a permission
    QTest::addColumn<QString>("message"); // a pattern
    QTest::addColumn<QString>("calls");   // those that lock and flush; at a flush, the file's size

    const QByteArray two = DataFiles::record("Ana") + DataFiles::record("Bea");
    const QByteArray stray(90, 'x');
    const QByteArray full(32767 * 255, 'z');
    const QString saved = u"^No se pudo guardar en el disco el registro 3"_s;
    const QString heldElsewhere = u"otro programa lo está usando"_s;
#ifdef Q_OS_UNIX
    const QString written = u"^No se pudo escribir el registro 3"_s;
    QTest::newRow("write stops part-way") << two << 0LL << u"limit:610"_s << written + u" (?!.*Además)"_s
                                          << u"lock flush:510 unlock"_s;
    QTest::newRow("write stops part-way over a stray piece")
            << two + stray << 0LL << u"limit:700"_s << written << u"lock flush:600 unlock"_s;
    QTest::newRow("no room for a single byte") << two << 0LL << u"limit:510"_s << written << u"lock unlock"_s;
    // The limit falls inside a stray piece: what lies past it the save
    // never touched, and only what it wrote over is put back.
    QTest::newRow("write stops inside a stray piece")
            << two + QByteArray(100, 'x') << 0LL << u"limit:560"_s << written + u" (?!.*Además)"_s
            << u"lock flush:610 unlock"_s;
    // POSIX lets fcntl tell of a lock held elsewhere with EACCES too.
    QTest::newRow("lock held elsewhere, told as access denied")
            << two << 0LL << u"lock:%1*"_s.arg(EACCES) << heldElsewhere << u"lock"_s;
#else
    QTest::newRow("lock held elsewhere, told as pending")
            << two << 0LL << u"lock:%1*"_s.arg(ERROR_IO_PENDING) << heldElsewhere << u"lock"_s;
#endif
    // Within one save's wait of 500 ms: the lock held 400 ms, then the records 400 ms more.
    QTest::newRow("held, let go and held again") << two << 0LL << u"comes and goes"_s
                                                 << u"^No se pudo leer .*"_s + heldElsewhere << u"lock unlock"_s;
    QTest::newRow("flush fails") << two << 0LL << u"flush"_s << saved + u" (?!.*Además)"_s
                                 << u"lock flush:765 flush:510 unlock"_s;
    QTest::newRow("flush fails over 256 records' room of NULs")
            << two << 256 * 255LL << u"flush"_s << saved << u"lock flush:65790 flush:65790 unlock"_s;
    QTest::newRow("flush fails, and so does the undoing's")
            << two + stray << 0LL << u"flush flush"_s
            << saved + u" .*\\. Además, al devolver el archivo a su estado anterior no se pudo guardar en el "
                       "disco, y puede que no esté como estaba: "_s
            << u"lock flush:765 flush:600 unlock"_s;
    QTest::newRow("size unknown") << two << 0LL << u"stat"_s << u"^No se pudo saber el tamaño del archivo"_s
                                  << u"lock unlock"_s;
    QTest::newRow("lock fails") << two << 0LL << u"lock"_s << u"^No se pudo añadir un registro"_s << u"lock"_s;
    QTest::newRow("read-only file") << two << 0LL << u"read-only"_s << u"^No se pudo añadir"_s << QString();
    QTest::newRow("32767 records") << full << 0LL << QString() << u"^Desbordamiento"_s << u"lock unlock"_s;
    QTest::newRow("32767 records and a stray piece") << full + stray << 0LL << QString() << u"^Desbordamiento"_s
                                                     << u"lock unlock"_s;
    // A preallocated or sparse file: far too many records, told at once.
    QTest::newRow("1 GiB of NULs") << two << (1LL << 30) << u"flush"_s << u"^Desbordamiento"_s
                                   << u"lock unlock"_s;
}

// The system refuses the write itself: a file-size limit cuts it off after
// some bytes, or before any, as a full disk would; or the flush fails. The
// file gets back its old bytes, and they are flushed. Whatever the file's
// size, a save reads no more than its end.
void tst_RecordFile::failedAppendLeavesTheFileAsItWas()
{
    QFETCH(QByteArray, before);
    QFETCH(qint64, nulTail);
    QFETCH(QString, faults);
    QFETCH(QString, message);
    QFETCH(QString, calls);
    QVERIFY(DataFiles::write(m_path, before));
    QVERIFY(QFile::resize(m_path, before.size() + nulTail));
    if (faults == u"read-only")
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner));

    RecordFile file(m_path, { std::chrono::milliseconds(500), {} });
    QVERIFY(file.open(RecordFile::Access::ReadWrite));
    SystemCallRecorder recorder;
    QElapsedTimer held;
    held.start();
    if (faults == u"comes and goes") {
        recorder.onCall = [&](const SystemCallRecorder::Call &call) {
            if ((call.name == u"lock" && held.elapsed() < 400) || (call.name == u"read" && held.elapsed() < 800))
                recorder.failAfter << call.name + u":held"_s;
        };
    } else {
        for (const QString &fault : faults.split(u' ', Qt::SkipEmptyParts))
            recorder.failAfter << (fault.endsWith(u'*') ? QStringList(1000, fault.chopped(1)) : QStringList(fault));
    }
    AddressRecord record;
    record.setField(AddressRecord::Nombre, u"Zoe"_s);
    std::optional<qint16> number;
    {
#ifdef Q_OS_UNIX
        std::optional<FileSizeLimit> limit;
        if (faults.startsWith(u"limit:"))
            limit.emplace(faults.mid(6).toLongLong());
        QVERIFY(!limit || limit->isSet());
#endif
        number = file.appendRecord(record);
    }

    QVERIFY(!number);
    QVERIFY2(file.errorString().contains(QRegularExpression(message)), qPrintable(file.errorString()));
    QStringList made;
    qint64 bytesRead = 0;
    for (const SystemCallRecorder::Call &call : recorder.calls()) {
        if (call.name == u"flush")
            made << u"flush:%1"_s.arg(call.size);
        else if ((call.name == u"lock" || call.name == u"unlock") && made.value(made.size() - 1) != call.name)
            made << call.name;
        else if (call.name == u"read")
            bytesRead += call.size;
    }
    QCOMPARE(made.join(u' '), calls);
    QVERIFY2(bytesRead <= 259 * 255 + 254, qPrintable(QString::number(bytesRead)));
    file.close();
    QCOMPARE(QFileInfo(m_path).size(), before.size() + nulTail);
    QCOMPARE(DataFiles::read(m_path, before.size() + 255), before + QByteArray(qMin(nulTail, 255LL), '\0'));
}

void tst_RecordFile::newFileIsMadeDurableWhereItLands_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("fault");

    QTest::newRow("created") << u"created"_s << QString();
    QTest::newRow("already there") << u"existing"_s << QString();
#ifdef Q_OS_UNIX
    QTest::newRow("created through a dangling symbolic link") << u"link"_s << QString();
    QTest::newRow("created in a folder that cannot be read") << u"unreadable"_s << QString();
    QTest::newRow("the folder's flush fails") << u"created"_s << u"flush folder"_s;
#else
    QTest::newRow("the new file's flush fails") << u"created"_s << u"flush"_s;
#endif
}

// A file that the open creates is there after a power loss only once the
// folder that holds it is flushed (on Windows, the file itself); a file that
// was there needs nothing. Where the folder cannot be flushed, the new file
// is empty: nothing is lost, and the start goes on.
void tst_RecordFile::newFileIsMadeDurableWhereItLands()
{
    QFETCH(QString, how);
    QFETCH(QString, fault);
    QString landsIn = m_directory->path();
    if (how == u"existing") {
        QVERIFY(DataFiles::write(m_path, QByteArray()));
    } else if (how == u"link") {
        landsIn = m_directory->filePath(u"elsewhere"_s);
        QVERIFY(QDir().mkpath(landsIn));
        QVERIFY(QFile::link(landsIn + u"/Ventolia.dat"_s, m_path));
    } else if (how == u"unreadable") {
        QVERIFY(QFile::setPermissions(landsIn, QFile::WriteOwner | QFile::ExeOwner));
    }
    SystemCallRecorder recorder;
    recorder.failAfter = QStringList{ fault };

    RecordFile file(m_path);
    const bool opened = file.open(RecordFile::Access::ReadWrite, RecordFile::CreateIfMissing);
    QFile::setPermissions(landsIn, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY2(opened, qPrintable(file.errorString()));
    QVERIFY(QFile::exists(landsIn + u"/Ventolia.dat"_s));
    QCOMPARE(file.countRecords(), std::optional<qint16>(0));

    QStringList expected;
#ifdef Q_OS_WIN
    if (how != u"existing")
        expected << landsIn + u"/Ventolia.dat"_s;
#else
    if (how == u"created" || how == u"link")
        expected << landsIn;
#endif
    QStringList flushed;
    for (const SystemCallRecorder::Call &call : recorder.calls()) {
        if (call.name.startsWith(u"flush"))
            flushed << QFileInfo(call.target).canonicalFilePath();
    }
    for (QString &path : expected)
        path = QFileInfo(path).canonicalFilePath();
    QCOMPARE(flushed, expected);
}

void tst_RecordFile::heldElsewhere_data()
{
    QTest::addColumn<QString>("hold"); // how the other program holds the file
    QTest::addColumn<bool>("letGo");   // while the save waits

    QTest::newRow("locked, let go") << u"lock"_s << true;
    QTest::newRow("locked, kept") << u"lock"_s << false;
#ifdef Q_OS_WIN
    QTest::newRow("shared with no one, let go") << u"unshared"_s << true;
    QTest::newRow("shared with no one, kept") << u"unshared"_s << false;
    QTest::newRow("records read while locked, let go") << u"read"_s << true;
    QTest::newRow("records read while locked, kept") << u"read"_s << false;
#elif defined(Q_OS_LINUX)
    QTest::newRow("leased, let go") << u"lease"_s << true;
    QTest::newRow("leased, kept") << u"lease"_s << false;
#endif
}

// Another program holds the file as a save begins: the save waits, trying
// again, and goes through once the file is let go; if it is not, the save
// gives up with nothing written. The save's lock keeps no one from reading.
void tst_RecordFile::heldElsewhere()
{
    QFETCH(QString, hold);
    QFETCH(bool, letGo);
    QVERIFY(DataFiles::write(m_path, DataFiles::threeRecords()));
    HeldFile held;
    QVERIFY(held.hold(m_path, hold));

    AddressRecord record;
    if (hold == u"lock") {
        RecordFile reader(m_path);
        QVERIFY(reader.open(RecordFile::Access::Read));
        QVERIFY2(reader.readRecord(2, record), qPrintable(reader.errorString()));
        QCOMPARE(record.bytes(), DataFiles::threeRecords().mid(255, 255));
    }
    record.setField(AddressRecord::Nombre, u"Zoe"_s);
    int waits = 0;
    RecordFile file(m_path, { std::chrono::milliseconds(500), [&] {
                                 if (++waits == 3 && letGo)
                                     held.letGo();
                             } });
    const bool saved = file.open(RecordFile::Access::ReadWrite) && file.appendRecord(record);
    held.letGo();

    QVERIFY(waits >= 3);
    QCOMPARE(saved, letGo);
    QCOMPARE(DataFiles::read(m_path), DataFiles::threeRecords() + (letGo ? record.bytes() : QByteArray()));
    if (!letGo)
        QVERIFY2(file.errorString().contains(u"otro programa lo está usando"_s), qPrintable(file.errorString()));
}

void tst_RecordFile::newFileIsForItsOwnerOnly()
{
#ifndef Q_OS_UNIX
    QSKIP("POSIX permissions");
#else
    const mode_t savedMask = umask(0);
    RecordFile file(m_path);
    const bool opened = file.open(RecordFile::Access::ReadWrite, RecordFile::CreateIfMissing);
    umask(savedMask);
    QVERIFY(opened);

    struct stat status;
    QCOMPARE(stat(QFile::encodeName(m_path).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0600));
#endif
}

void tst_RecordFile::existingFileKeepsItsPermissions()
{
#ifndef Q_OS_UNIX
    QSKIP("POSIX permissions");
#else
    QVERIFY(DataFiles::write(m_path, DataFiles::record("Ana")));
    QVERIFY(chmod(QFile::encodeName(m_path).constData(), 0664) == 0);

    RecordFile file(m_path);
    QVERIFY(file.open(RecordFile::Access::ReadWrite));
    QVERIFY(file.appendRecord(AddressRecord()));
    file.close();

    struct stat status;
    QCOMPARE(stat(QFile::encodeName(m_path).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0664));
    QCOMPARE(QFileInfo(m_path).size(), 510);
#endif
}

void tst_RecordFile::failuresNameOperationPathAndReason_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("expected"); // a pattern; %1 is the file's path

    QTest::newRow("create in a missing folder") << u"create"_s << u"^No se pudo abrir el archivo de datos «%1»: "_s;
    QTest::newRow("open a file that is gone") << u"open"_s << u"^El archivo de datos «%1» ya no existe\\.$"_s;
    QTest::newRow("open a folder") << u"folder"_s
                                   << u"^No se pudo abrir el archivo de datos «%1»: no es un archivo normal\\.$"_s;
    QTest::newRow("count, the size unknown")
            << u"count"_s << u"^No se pudo saber el tamaño del archivo de datos «%1»: "_s;
    QTest::newRow("read the piece that ends the file")
            << u"read 3"_s << u"^No se pudo leer el registro 3 del archivo de datos «%1»: el archivo termina antes"_s;
    QTest::newRow("read past the end") << u"read 4"_s
                                       << u"^No se pudo leer el registro 4 del archivo de datos «%1»: "_s;
    QTest::newRow("read record 0") << u"read 0"_s
                                   << u"^No se pudo leer el registro 0 del archivo de datos «%1»: "_s;
#ifdef Q_OS_UNIX
    QTest::newRow("write past the size limit")
            << u"write"_s << u"^No se pudo escribir el registro 1 en el archivo de datos «%1»: "_s;
#endif

    // What the system says, in the program's own words, the same on every
    // system; a code that has none, by its number and the system's own text.
    const QString permission = u"no tiene permiso para hacerlo"_s;
    const QString missing = u"no existe el archivo o una de sus carpetas"_s;
    const QString full = u"el disco está lleno"_s;
    const QString readOnly = u"la unidad solo permite leer"_s;
    const QString device = u"el disco no pudo leer o escribir los datos"_s;
    const QString tooLong = u"la ruta del archivo es demasiado larga"_s;
    const QString openFiles = u"hay demasiados archivos abiertos"_s;
    const QString memory = u"no hay memoria suficiente"_s;
    const QString connection = u"se ha perdido la conexión con la carpeta de red"_s;
    const QString gone = u"la unidad ya no está disponible"_s;
    const QString unsupported = u"la unidad no permite esta operación"_s;
    const QString locks = u"la unidad no permite bloquear el archivo"_s;
    const auto read = [](const char *code, qint64 number, const QString &words) {
        QTest::newRow(code) << u"read failing %1"_s.arg(number)
                            << u"^No se pudo leer el registro 1 del archivo de datos «%1»: "_s + words + u"\\.$"_s;
    };
#ifdef Q_OS_WIN
    read("ERROR_ACCESS_DENIED", ERROR_ACCESS_DENIED, permission);
    read("ERROR_FILE_NOT_FOUND", ERROR_FILE_NOT_FOUND, missing);
    read("ERROR_PATH_NOT_FOUND", ERROR_PATH_NOT_FOUND, missing);
    read("ERROR_DISK_FULL", ERROR_DISK_FULL, full);
    read("ERROR_HANDLE_DISK_FULL", ERROR_HANDLE_DISK_FULL, full);
    read("ERROR_WRITE_PROTECT", ERROR_WRITE_PROTECT, readOnly);
    read("ERROR_CRC", ERROR_CRC, device);
    read("ERROR_IO_DEVICE", ERROR_IO_DEVICE, device);
    read("ERROR_FILENAME_EXCED_RANGE", ERROR_FILENAME_EXCED_RANGE, tooLong);
    read("ERROR_TOO_MANY_OPEN_FILES", ERROR_TOO_MANY_OPEN_FILES, openFiles);
    read("ERROR_NOT_ENOUGH_MEMORY", ERROR_NOT_ENOUGH_MEMORY, memory);
    read("ERROR_NETNAME_DELETED", ERROR_NETNAME_DELETED, connection);
    read("ERROR_BAD_NETPATH", ERROR_BAD_NETPATH, connection);
    read("ERROR_UNEXP_NET_ERR", ERROR_UNEXP_NET_ERR, connection);
    read("ERROR_DEV_NOT_EXIST", ERROR_DEV_NOT_EXIST, connection);
    read("ERROR_NOT_READY", ERROR_NOT_READY, gone);
    read("ERROR_DEVICE_NOT_CONNECTED", ERROR_DEVICE_NOT_CONNECTED, gone);
    read("ERROR_INVALID_FUNCTION", ERROR_INVALID_FUNCTION, unsupported);
    read("ERROR_NOT_SUPPORTED", ERROR_NOT_SUPPORTED, unsupported);
    read("ERROR_LOCK_FAILED", ERROR_LOCK_FAILED, locks);
    // Wine takes its language from the environment it starts in: LANG=C.
    read("ERROR_INVALID_PARAMETER, no words of ours, in English", ERROR_INVALID_PARAMETER,
         u"error %1 del sistema"_s.arg(ERROR_INVALID_PARAMETER));
#else
    read("EACCES", EACCES, permission);
    read("EPERM", EPERM, permission);
    read("ENOENT", ENOENT, missing);
    read("ENOTDIR", ENOTDIR, missing);
    read("ENOSPC", ENOSPC, full);
    read("EDQUOT", EDQUOT, u"se ha agotado el espacio de disco que tiene asignado"_s);
    read("EROFS", EROFS, readOnly);
    read("EIO", EIO, device);
    read("EFBIG", EFBIG, u"el archivo ha llegado al tamaño máximo permitido"_s);
    read("ENAMETOOLONG", ENAMETOOLONG, tooLong);
    read("ELOOP", ELOOP, u"hay demasiados enlaces simbólicos en la ruta"_s);
    read("EMFILE", EMFILE, openFiles);
    read("ENFILE", ENFILE, openFiles);
    read("ENOMEM", ENOMEM, memory);
    read("ESTALE", ESTALE, connection);
    read("ENOTCONN", ENOTCONN, connection);
    read("ETIMEDOUT", ETIMEDOUT, connection);
    read("ENODEV", ENODEV, gone);
    read("ENXIO", ENXIO, gone);
    read("EINVAL", EINVAL, unsupported);
    read("ENOTSUP", ENOTSUP, unsupported);
    read("ENOLCK", ENOLCK, locks);
    // The system's own words only where they are Spanish.
    const QString unknown = u"^No se pudo leer el registro 1 del archivo de datos «%1»: error "_s
            + QString::number(EXDEV) + u" del sistema"_s;
    for (const char *language : { "C", "fr_FR.UTF-8", "es_AR.UTF-8 missing" }) {
        QTest::addRow("EXDEV, no words of ours, LANG=%s", language)
                << u"read failing %1 "_s.arg(EXDEV) + QLatin1String(language) << unknown + u"\\.$"_s;
    }
    QTest::newRow("EXDEV, no words of ours, LANG=es_ES.UTF-8")
            << u"read failing %1 es_ES.UTF-8"_s.arg(EXDEV)
            << unknown + u" \\(Enlace cruzado entre dispositivos no permitido\\)\\.$"_s;
#endif
}

#ifdef Q_OS_UNIX
// The system may lack the locale: it is made in a folder of the test's own,
// where the C library finds it through LOCPATH.
static bool makeLocale(const QString &name)
{
    static QTemporaryDir folder;
    const QString made = folder.filePath(name);
    if (!QFileInfo::exists(made))
        QProcess::execute(u"localedef"_s, { u"-i"_s, name.section(u'.', 0, 0), u"-f"_s, name.section(u'.', 1), made });
    qputenv("LOCPATH", QFile::encodeName(folder.path()));
    return QFileInfo::exists(made);
}
#endif

// A message ends in the system's reason, told in our words, never in an
// empty or unknown one. The file holds two records and a piece of a third;
// a read made to fail fails with the errno or Windows error code given.
void tst_RecordFile::failuresNameOperationPathAndReason()
{
    QFETCH(QString, operation);
    QFETCH(QString, expected);

    QString path = m_path;
    if (operation == u"create")
        path = m_directory->filePath(u"missing/Ventolia.dat"_s);
    else if (operation == u"folder")
        QVERIFY(QDir().mkdir(path));
    else if (operation != u"open")
        QVERIFY(DataFiles::write(path, DataFiles::record("Ana") + DataFiles::record("Bea") + QByteArray(100, 'x')));

    RecordFile file(path);
    AddressRecord record;
    bool succeeded = file.open(operation == u"write" ? RecordFile::Access::ReadWrite : RecordFile::Access::Read,
                               operation == u"create" ? RecordFile::CreateIfMissing : RecordFile::MustExist);
    std::optional<SystemCallRecorder> recorder;
#ifdef Q_OS_UNIX
    const QString language = operation.section(u' ', 3, 3); // of the desktop, as its session sets it
    const bool missing = operation.section(u' ', 4) == u"missing"; // the system lacks the locale
#endif
    if (operation.startsWith(u"read failing")) {
        recorder.emplace().failAfter = QStringList{ u"read:"_s + operation.section(u' ', 2, 2) };
        operation = u"read 1"_s;
    }
#ifdef Q_OS_UNIX
    if (!language.isEmpty()) { // the rows that follow set their own
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        qputenv("LANG", language.toLatin1());
        QVERIFY(language == u"C" || missing || makeLocale(language));
        setlocale(LC_ALL, "C"); // where the locale is missing, as a program starts
        setlocale(LC_ALL, "");
    }
#endif
    if (succeeded && operation.startsWith(u"read"))
        succeeded = file.readRecord(qint16(operation.mid(5).toInt()), record);
    if (succeeded && operation == u"count") {
        SystemCallRecorder recorder;
        recorder.failAfter = QStringList{ u"stat"_s };
        succeeded = file.countRecords().has_value();
    }
#ifdef Q_OS_UNIX
    if (succeeded && operation == u"write") {
        const FileSizeLimit noRoom(0);
        QVERIFY(noRoom.isSet());
        succeeded = file.writeRecord(1, record);
    }
#endif

    QVERIFY(!succeeded);
    const QString message = file.errorString();
    const QRegularExpression pattern(expected.arg(QRegularExpression::escape(QDir::toNativeSeparators(path))));
    QVERIFY2(message.contains(pattern), qPrintable(message));
    QVERIFY2(message.contains(QRegularExpression(u"[^ :]{3,}\\.$"_s)), qPrintable(message));
    QVERIFY2(!message.contains(u"Unknown error"_s), qPrintable(message));
}

QTEST_GUILESS_MAIN(tst_RecordFile)
#include "tst_recordfile.moc"
