// The built program itself, started as a user starts it, watched through the
// test plugin that Qt loads into it (tests/probe).

#include "datafiles.h"
#include "probeenvironment.h"
#include "unprivileged.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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
    void browsesAReadOnlyFile();
    void cannotCreateTheFileInAReadOnlyFolder();
    void twoCopiesSaveIntoOneFile();

private:
    QString dataFilePath() const { return m_directory->filePath(u"Ventolia.dat"_s); }
    // The program, copied alone into the test's folder, started there, and
    // fed the probe's commands.
    std::unique_ptr<QProcess> start(const QByteArray &commands = "browse\n");
    // What the probe reported, line by line, once the program has ended.
    QStringList finish(QProcess &process, int *exitCode);
    QStringList run(int *exitCode) { return finish(*start(), exitCode); }

    std::optional<QTemporaryDir> m_directory;
};

void tst_Program::initTestCase()
{
    QVERIFY2(dropPermissionOverrides(), "cannot give up root's permission overrides");
}

void tst_Program::init()
{
    m_directory.emplace();
    QVERIFY(m_directory->isValid());
    QVERIFY(QFile::copy(u"" VENTOLIA_EXECUTABLE ""_s, m_directory->filePath(u"ventolia"_s)));
}

void tst_Program::cleanup()
{
    QFile::setPermissions(m_directory->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_directory.reset();
}

std::unique_ptr<QProcess> tst_Program::start(const QByteArray &commands)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(probeEnvironment());
    process->setWorkingDirectory(QDir::tempPath()); // not where the data file belongs
    process->start(m_directory->filePath(u"ventolia"_s), {});
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
    QCOMPARE(QDir(m_directory->path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{ u"ventolia"_s, u"Ventolia.dat"_s }));
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

void tst_Program::browsesAReadOnlyFile()
{
    const QByteArray bytes = DataFiles::record("Ana") + DataFiles::record("Bea");
    QVERIFY(DataFiles::write(dataFilePath(), bytes));
    QVERIFY(QFile::setPermissions(dataFilePath(), QFile::ReadOwner));

    int exitCode = -1;
    const QStringList report = finish(*start("browse\nsave Zoe\n"), &exitCode);
    QCOMPARE(report.mid(0, 5), (QStringList{ u"ready=Registro 1/2"_s,
                                             u"counter=Registro 1/2"_s, u"txtNombre=Ana            "_s,
                                             u"counter=Registro 2/2"_s, u"txtNombre=Bea            "_s }));
    QCOMPARE(report.size(), 7);
    QVERIFY2(report.at(5).startsWith(u"message=No se pudo añadir un registro"_s), qPrintable(report.at(5)));
    QCOMPARE(report.at(6), u"counter=Nuevo registro"_s); // still in new-record mode
    QCOMPARE(exitCode, 0);
    QCOMPARE(DataFiles::read(dataFilePath()), bytes);
}

void tst_Program::cannotCreateTheFileInAReadOnlyFolder()
{
    QVERIFY(QFile::setPermissions(m_directory->path(), QFile::ReadOwner | QFile::ExeOwner));

    int exitCode = 0;
    const QStringList report = run(&exitCode);
    QCOMPARE(report.size(), 1);
    QVERIFY2(report.first().startsWith(u"message=No se pudo abrir el archivo de datos"_s),
             qPrintable(report.first()));
    QVERIFY(report.first().contains(dataFilePath()));
    QVERIFY(exitCode != 0 && exitCode != -1);
    QCOMPARE(QDir(m_directory->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{ u"ventolia"_s });
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

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_program.moc"
