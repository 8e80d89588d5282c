// The built program itself, started as a user starts it, watched through the
// test plugin that Qt loads into it (tests/probe).

#include "datafiles.h"
#include "probeenvironment.h"
#include "unprivileged.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_LINUX
#include <filesystem>
#include <fstream>
#endif
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;

class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void createsItsDataFileBesideItself();
    void browsesRecordsWrittenByAnotherProgram();
    void overflowEndsTheStartWithFailure();
    void failedSaveKeepsTheProgramRunning_data();
    void failedSaveKeepsTheProgramRunning();
    void startsInAFolderOnlyIfItCanCreateTheFile_data();
    void startsInAFolderOnlyIfItCanCreateTheFile();
    void twoCopiesSaveIntoOneFile();
    void findsItsFolderByItsBytes();

private:
    QString dataFilePath() const { return m_directory->filePath(u"Ventolia.dat"_s); }
    QString programName() const { return QFileInfo(u"" VENTOLIA_EXECUTABLE ""_s).fileName(); }
    // The program, copied alone into the test's folder (or the one given),
    // started from another folder, and fed the probe's commands.
    std::unique_ptr<QProcess> start(const QByteArray &commands = "browse\n", QString program = {});
    // What the probe reported, line by line, once the program has ended.
    QStringList finish(QProcess &process, int *exitCode);
    QStringList run(int *exitCode) { return finish(*start(), exitCode); }

    std::optional<QTemporaryDir> m_directory;
    qint64 m_fileSizeLimit = -1; // for the program, where set
    QString m_workingDirectory; // not where the data file belongs
};

void tst_Program::initTestCase()
{
    QVERIFY2(dropPermissionOverrides(), "cannot give up root's permission overrides");
}

void tst_Program::init()
{
    m_directory.emplace();
    QVERIFY(m_directory->isValid());
    QVERIFY(QFile::copy(u"" VENTOLIA_EXECUTABLE ""_s, m_directory->filePath(programName())));
    m_fileSizeLimit = -1;
    m_workingDirectory = QDir::tempPath();
}

void tst_Program::cleanup()
{
    QFile::setPermissions(m_directory->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_directory.reset();
}

std::unique_ptr<QProcess> tst_Program::start(const QByteArray &commands, QString program)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(probeEnvironment());
    process->setWorkingDirectory(m_workingDirectory);
#ifdef Q_OS_UNIX
    if (m_fileSizeLimit >= 0) {
        process->setChildProcessModifier([limit = m_fileSizeLimit] {
            const rlimit limited = { rlim_t(limit), rlim_t(limit) };
            setrlimit(RLIMIT_FSIZE, &limited);
        });
    }
#endif
    process->start(program.isEmpty() ? m_directory->filePath(programName()) : program, {});
    process->write(commands);
    return process;
}

QStringList tst_Program::finish(QProcess &process, int *exitCode)
{
    process.closeWriteChannel();
    if (!process.waitForFinished(30000))
        return { u"the program did not finish"_s };
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

void tst_Program::createsItsDataFileBesideItself()
{
    int exitCode = -1;
    const QStringList report = run(&exitCode);
    QCOMPARE(report, (QStringList{ u"ready=Registro 0/0"_s,
                                   u"counter=Registro 0/0"_s, u"txtNombre="_s }));
    QCOMPARE(exitCode, 0);
    QVERIFY(QFile::exists(dataFilePath()));
    QCOMPARE(QFileInfo(dataFilePath()).size(), 0);
    QStringList files = QDir(m_directory->path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    QCOMPARE(files, (QStringList{ u"Ventolia.dat"_s, programName() }));
}

void tst_Program::browsesRecordsWrittenByAnotherProgram()
{
    const QByteArray bytes = DataFiles::record("Ana") + DataFiles::record("B\xe9" "a")
            + DataFiles::record("Carmen");
    QVERIFY(DataFiles::write(dataFilePath(), bytes));

    int exitCode = -1;
    const QStringList report = run(&exitCode);
    QCOMPARE(report, (QStringList{ u"ready=Registro 1/3"_s,
                                   u"counter=Registro 1/3"_s, u"txtNombre=Ana            "_s,
                                   u"counter=Registro 2/3"_s, u"txtNombre=Béa            "_s,
                                   u"counter=Registro 3/3"_s, u"txtNombre=Carmen         "_s }));
    QCOMPARE(exitCode, 0);
    QCOMPARE(DataFiles::read(dataFilePath()), bytes);
}

void tst_Program::overflowEndsTheStartWithFailure()
{
    QVERIFY(DataFiles::writeSized(dataFilePath(), 32768));

    int exitCode = 0;
    const QStringList report = run(&exitCode);
    QCOMPARE(report.size(), 1);
    QVERIFY2(report.first().startsWith(u"message=Desbordamiento"_s), qPrintable(report.first()));
    QVERIFY(exitCode != 0 && exitCode != -1);
}

void tst_Program::failedSaveKeepsTheProgramRunning_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message"); // a pattern

    QTest::newRow("read-only file")
            << u"read-only"_s
            << u"^message=No se pudo añadir un registro .*: no tiene permiso para hacerlo\\. \\[Aceptar\\]$"_s;
#ifdef Q_OS_UNIX
    QTest::newRow("file-size limit") << u"size limit"_s
                                     << u"^message=No se pudo escribir el registro 3 .*: el archivo ha llegado al "
                                        "tamaño máximo permitido\\. \\[Aceptar\\]$"_s;
#endif
}

// The program browses, and a save that the system refuses is told, with
// the window still in new-record mode and the file as it was. All that the
// user reads is Spanish, Qt's own texts too: the message's button, and the
// box's right-click menu.
void tst_Program::failedSaveKeepsTheProgramRunning()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    const QByteArray bytes = DataFiles::record("Ana") + DataFiles::record("Bea");
    QVERIFY(DataFiles::write(dataFilePath(), bytes));
    if (fault == u"read-only")
        QVERIFY(QFile::setPermissions(dataFilePath(), QFile::ReadOwner));
    else
        m_fileSizeLimit = bytes.size() + 100;

    int exitCode = -1;
    const QStringList report = finish(*start("browse\nsave Zoe\nmenu\n"), &exitCode);
    QCOMPARE(report.mid(0, 5), (QStringList{ u"ready=Registro 1/2"_s,
                                             u"counter=Registro 1/2"_s, u"txtNombre=Ana            "_s,
                                             u"counter=Registro 2/2"_s, u"txtNombre=Bea            "_s }));
    QCOMPARE(report.size(), 8);
    QVERIFY2(report.at(5).contains(QRegularExpression(message)), qPrintable(report.at(5)));
    QCOMPARE(report.at(6), u"counter=Nuevo registro"_s); // still in new-record mode
    QVERIFY2(report.at(7).contains(QRegularExpression(u"^menu=&Deshacer\t.*\\|&Pegar\t.*\\|Seleccionar todo\t"_s)),
             qPrintable(report.at(7)));
    QCOMPARE(exitCode, 0);
    QCOMPARE(DataFiles::read(dataFilePath()), bytes);
}

void tst_Program::startsInAFolderOnlyIfItCanCreateTheFile_data()
{
    QTest::addColumn<bool>("writable");

    QTest::newRow("read-only folder") << false;
    QTest::newRow("folder that can be written but not read") << true;
}

// Windows lets a file be created in a read-only folder. A folder that
// cannot be read cannot be flushed either: the new file is empty, and the
// start goes on.
void tst_Program::startsInAFolderOnlyIfItCanCreateTheFile()
{
#ifdef Q_OS_WIN
    QSKIP("Windows folders have no permissions of their own");
#endif
    QFETCH(bool, writable);
    QVERIFY(QFile::setPermissions(m_directory->path(),
                                  QFile::ExeOwner | (writable ? QFile::WriteOwner : QFile::ReadOwner)));

    int exitCode = 0;
    const QStringList report = run(&exitCode);
    QFile::setPermissions(m_directory->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QStringList expectedFiles = { programName() };
    if (writable) {
        QCOMPARE(report.value(0), u"ready=Registro 0/0"_s);
        QCOMPARE(exitCode, 0);
        expectedFiles << u"Ventolia.dat"_s;
    } else {
        QCOMPARE(report.size(), 1);
        QVERIFY2(report.first().startsWith(u"message=No se pudo abrir el archivo de datos"_s),
                 qPrintable(report.first()));
        QVERIFY(report.first().contains(dataFilePath()));
        QVERIFY(exitCode != 0 && exitCode != -1);
    }
    QStringList files = QDir(m_directory->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    files.sort();
    expectedFiles.sort();
    QCOMPARE(files, expectedFiles);
}

// Both start on three records; each then saves a contact. Neither record is
// lost, and the second to save counts the other's record too.
void tst_Program::twoCopiesSaveIntoOneFile()
{
    QVERIFY(DataFiles::write(dataFilePath(), DataFiles::threeRecords()));

    std::unique_ptr<QProcess> first = start({});
    std::unique_ptr<QProcess> second = start({});
    for (QProcess *process : { first.get(), second.get() }) {
        QVERIFY(process->waitForReadyRead(30000));
        QCOMPARE(process->readLine(), QByteArray("ready=Registro 1/3\n"));
    }

    first->write("save Dora\n");
    QVERIFY(first->waitForReadyRead(30000));
    QCOMPARE(first->readLine(), QByteArray("counter=Registro 4/4\n"));
    second->write("save Eva\n");
    QVERIFY(second->waitForReadyRead(30000));
    QCOMPARE(second->readLine(), QByteArray("counter=Registro 5/5\n"));
    second->write("browse\n");

    int exitCode = -1;
    const QStringList secondReport = finish(*second, &exitCode);
    QCOMPARE(exitCode, 0);
    QCOMPARE(secondReport.last(), u"txtNombre=Eva            "_s);
    QCOMPARE(secondReport.size(), 2); // the last record is the one shown: no further steps
    QVERIFY(finish(*first, &exitCode).isEmpty());
    QCOMPARE(exitCode, 0);

    QCOMPARE(DataFiles::read(dataFilePath()), DataFiles::threeRecords()
                     + DataFiles::record("Dora", ' ') + DataFiles::record("Eva", ' '));
}

// A folder named under a Latin-1 system ("año") with a byte that is no
// character at all: Qt's text paths cannot carry its name. The program,
// started through a link that QProcess can name, still finds its records
// there, and creates nothing in the folder it was started from.
void tst_Program::findsItsFolderByItsBytes()
{
#ifndef Q_OS_LINUX
    QSKIP("/proc/self/exe names the executable by its bytes");
#else
    namespace fs = std::filesystem;
    const fs::path root = QFile::encodeName(m_directory->path()).toStdString();
    const fs::path folder = root / "a\xF1o\xFF";
    fs::create_directory(folder);
    const auto removeFolder = qScopeGuard([&folder] { fs::remove_all(folder); }); // QDir cannot name it
    fs::copy_file(VENTOLIA_EXECUTABLE, folder / "ventolia");
    const QByteArray bytes = DataFiles::threeRecords();
    std::ofstream(folder / "Ventolia.dat", std::ios::binary).write(bytes.constData(), bytes.size());
    fs::create_symlink(folder / "ventolia", root / "enlace");
    QVERIFY(QFile::remove(m_directory->filePath(programName())));

    m_workingDirectory = m_directory->path();
    int exitCode = -1;
    const QStringList report = finish(*start("browse\n", m_directory->filePath(u"enlace"_s)), &exitCode);
    QCOMPARE(report.mid(0, 3), (QStringList{ u"ready=Registro 1/3"_s, u"counter=Registro 1/3"_s,
                                             u"txtNombre=Ana            "_s }));
    QCOMPARE(exitCode, 0);
    QVERIFY(!QFile::exists(dataFilePath()));
    QCOMPARE(fs::file_size(folder / "Ventolia.dat"), std::uintmax_t(bytes.size()));
#endif
}

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_program.moc"
