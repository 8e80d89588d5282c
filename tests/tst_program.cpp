// The built program itself, started as a user starts it, watched through the
// test plugin that Qt loads into it (tests/probe).

#include "datafiles.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void createsItsDataFileBesideItself();
    void browsesRecordsWrittenByAnotherProgram();
    void overflowEndsTheStartWithFailure();

private:
    // Copies the program alone into the test's folder, runs it there, and
    // returns what the probe reported, line by line.
    QStringList run(int *exitCode = nullptr);

    std::optional<QTemporaryDir> m_directory;
};

void tst_Program::init()
{
    m_directory.emplace();
    QVERIFY(m_directory->isValid());
}

QStringList tst_Program::run(int *exitCode)
{
    const QString program = m_directory->filePath(u"ventolia"_s);
    if (!QFile::exists(program) && !QFile::copy(u"" VENTOLIA_EXECUTABLE ""_s, program))
        return { u"cannot copy the program"_s };

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"QT_PLUGIN_PATH"_s, u"" PROBE_PLUGIN_PATH ""_s);
    environment.insert(u"QT_QPA_GENERIC_PLUGINS"_s, u"ventoliaprobe"_s);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QDir::tempPath()); // not where the data file belongs
    process.start(program, {});
    if (!process.waitForFinished(30000))
        return { u"the program did not finish"_s };
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

void tst_Program::createsItsDataFileBesideItself()
{
    int exitCode = -1;
    const QStringList report = run(&exitCode);
    QCOMPARE(report, (QStringList{ u"title=Ventolia"_s, u"counter=Registro 0/0"_s, u"txtNombre="_s }));
    QCOMPARE(exitCode, 0);
    QVERIFY(QFile::exists(m_directory->filePath(u"Ventolia.dat"_s)));
    QCOMPARE(QFileInfo(m_directory->filePath(u"Ventolia.dat"_s)).size(), 0);
    QCOMPARE(QDir(m_directory->path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{ u"ventolia"_s, u"Ventolia.dat"_s }));
}

void tst_Program::browsesRecordsWrittenByAnotherProgram()
{
    const QByteArray bytes = DataFiles::record("Ana") + DataFiles::record("B\xe9" "a")
            + DataFiles::record("Carmen");
    QVERIFY(DataFiles::write(m_directory->filePath(u"Ventolia.dat"_s), bytes));

    int exitCode = -1;
    const QStringList report = run(&exitCode);
    QCOMPARE(report, (QStringList{ u"title=Ventolia"_s,
                                   u"counter=Registro 1/3"_s, u"txtNombre=Ana            "_s,
                                   u"counter=Registro 2/3"_s, u"txtNombre=Béa            "_s,
                                   u"counter=Registro 3/3"_s, u"txtNombre=Carmen         "_s }));
    QCOMPARE(exitCode, 0);
    QCOMPARE(DataFiles::read(m_directory->filePath(u"Ventolia.dat"_s)), bytes);
}

void tst_Program::overflowEndsTheStartWithFailure()
{
    QVERIFY(DataFiles::writeSized(m_directory->filePath(u"Ventolia.dat"_s), 32768));

    int exitCode = 0;
    const QStringList report = run(&exitCode);
    QCOMPARE(report.size(), 1);
    QVERIFY2(report.first().startsWith(u"message=Desbordamiento"_s), qPrintable(report.first()));
    QVERIFY(exitCode != 0 && exitCode != -1);
}

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_program.moc"
