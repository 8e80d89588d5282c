// The program as a user gets it: installed under their home by cmake's
// install rules and install-launcher, or unpacked from the CPack archive.

#include "datafiles.h"
#include "probeenvironment.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

class tst_Installation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void installedForTheUser_data();
    void installedForTheUser();
    void launcherRefusesFolderNamesItCannotHold_data();
    void launcherRefusesFolderNamesItCannotHold();
    void unpackedFromTheArchive();
    void windowsIconConverts();
    void guideNamesEveryMessage();

private:
    // Runs a command to its end; its standard output, or nothing on failure.
    std::optional<QByteArray> run(const QString &program, const QStringList &arguments,
                                  const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // Starts the program offscreen, from another folder, with the test plugin
    // reporting what it shows; the report's first line.
    QString startProgram(const QString &program);
    // Starts the program as above; every file and folder that appeared under
    // the test's folder meanwhile.
    QStringList createdByStarting(const QString &program, QString *report);
    // Every file and folder under the test's folder.
    QStringList everything() const;

    std::optional<QTemporaryDir> m_directory;
};

// The program of an Exec line that holds one quoted argument: the desktop
// file's own escapes first, then the quoting's, then the field codes'.
static QString programOf(const QString &exec)
{
    QString quoted;
    for (qsizetype i = 0; i < exec.size(); ++i)
        quoted += (exec[i] == u'\\' && i + 1 < exec.size() && exec[i + 1] == u'\\') ? exec[i++] : exec[i];
    if (!quoted.startsWith(u'"') || !quoted.endsWith(u'"'))
        return {};
    QString program;
    for (qsizetype i = 1; i + 1 < quoted.size(); ++i)
        program += (quoted[i] == u'\\') ? quoted[++i] : quoted[i];
    return program.replace(u"%%"_s, u"%"_s);
}

void tst_Installation::init()
{
    m_directory.emplace();
    QVERIFY(m_directory->isValid());
}

std::optional<QByteArray> tst_Installation::run(const QString &program, const QStringList &arguments,
                                                const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

QString tst_Installation::startProgram(const QString &program)
{
    QProcessEnvironment environment = probeEnvironment();
    environment.insert(u"HOME"_s, m_directory->filePath(u"home"_s));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_directory->path());
    process.start(program, {});
    process.closeWriteChannel(); // the probe then closes the window
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return u"the program did not run"_s;
    return QString::fromUtf8(process.readAllStandardOutput()).section(u'\n', 0, 0);
}

QStringList tst_Installation::createdByStarting(const QString &program, QString *report)
{
    const QStringList before = everything();
    *report = startProgram(program);
    QStringList created = everything();
    created.removeIf([&before](const QString &path) { return before.contains(path); });
    return created;
}

QStringList tst_Installation::everything() const
{
    QStringList found;
    QDirIterator entries(m_directory->path(), QDir::AllEntries | QDir::Hidden | QDir::System
                                 | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext())
        found << entries.next();
    found.sort();
    return found;
}

void tst_Installation::installedForTheUser_data()
{
    QTest::addColumn<QString>("folder");

    QTest::newRow("plain") << u".local/lib/ventolia"_s;
    QTest::newRow("spaces and accents") << u"Mis programas/Agenda ñ"_s;
    QTest::newRow("quotes and dollars") << u"a \"b\" $c `d` 50%"_s;
}

void tst_Installation::installedForTheUser()
{
    QFETCH(QString, folder);
    const QString home = m_directory->filePath(u"home"_s);
    const QString programFolder = home + u'/' + folder;
    QVERIFY(run(u"" CMAKE_COMMAND ""_s, { u"--install"_s, u"" BUILD_DIR ""_s, u"--prefix"_s, programFolder }));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home);
    environment.remove(u"XDG_DATA_HOME"_s);
    QVERIFY(run(programFolder + u"/install-launcher"_s, {}, environment));

    const QString launcher = home + u"/.local/share/applications/ventolia.desktop"_s;
    QVERIFY(run(u"" DESKTOP_FILE_VALIDATE ""_s, { launcher }));
    QFile launcherFile(launcher);
    QVERIFY(launcherFile.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(launcherFile.readAll()).split(u'\n');
    const auto exec = std::find_if(lines.begin(), lines.end(),
                                   [](const QString &line) { return line.startsWith(u"Exec="); });
    QVERIFY(exec != lines.end());
    const QString program = programOf(exec->mid(5));
    QCOMPARE(program, programFolder + u"/ventolia"_s);
    QVERIFY(lines.contains(u"Icon=ventolia"_s));

    QFile icon(home + u"/.local/share/icons/hicolor/32x32/apps/ventolia.png"_s);
    QVERIFY(icon.open(QIODevice::ReadOnly));
    QCOMPARE(QImage::fromData(icon.readAll()).size(), QSize(32, 32));

    QString report;
    const QStringList created = createdByStarting(program, &report);
    QCOMPARE(report, u"ready=Registro 0/0"_s);
    QCOMPARE(created, QStringList{ programFolder + u"/Ventolia.dat"_s });
}

void tst_Installation::launcherRefusesFolderNamesItCannotHold_data()
{
    QTest::addColumn<QByteArray>("folder");

    QTest::newRow("line break") << QByteArray("Agenda\nnueva");
    QTest::newRow("line break at the end") << QByteArray("Agenda\n");
    QTest::newRow("tab") << QByteArray("Agenda\tnueva");
    QTest::newRow("not UTF-8") << QByteArray("A\xF1o");
}

// install-launcher, run in a folder that a desktop entry cannot name,
// says so and fails, and writes no launcher.
void tst_Installation::launcherRefusesFolderNamesItCannotHold()
{
    QFETCH(QByteArray, folder);
    // The name reaches the shell as printf escapes: arguments here are text.
    QString escaped;
    for (char byte : folder)
        escaped += u"\\%1"_s.arg(uchar(byte), 3, 8, QLatin1Char('0'));
    const QString home = m_directory->filePath(u"home"_s);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home);
    environment.remove(u"XDG_DATA_HOME"_s);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_directory->path());
    process.start(u"sh"_s, { u"-c"_s,
                             u"folder=$(printf '%b.' \"$1\") && folder=${folder%.} && mkdir \"$folder\" && "
                             "cp \"$2\" \"$folder/\" && cd \"$folder\" && : > ventolia.png && "
                             "echo [Desktop Entry] > ventolia.desktop && ./install-launcher"_s,
                             u"sh"_s, escaped, u"" INSTALL_LAUNCHER ""_s });
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY(process.exitCode() != 0);
    QVERIFY(process.readAllStandardError().contains("cannot name this folder"));
    QVERIFY(!QFile::exists(home + u"/.local/share/applications/ventolia.desktop"_s));
}

void tst_Installation::unpackedFromTheArchive()
{
    const QString packages = m_directory->filePath(u"packages"_s);
    QVERIFY(run(u"" CPACK_COMMAND ""_s, { u"--config"_s, u"" BUILD_DIR "/CPackConfig.cmake"_s,
                                         u"-B"_s, packages }));
    const QStringList archives = QDir(packages).entryList({ u"*.tar.gz"_s }, QDir::Files);
    QCOMPARE(archives.size(), 1);
    const QString unpacked = m_directory->filePath(u"unpacked"_s);
    QVERIFY(QDir().mkpath(unpacked));
    QVERIFY(run(u"tar"_s, { u"-xzf"_s, packages + u'/' + archives.first(), u"-C"_s, unpacked }));

    const QStringList top = QDir(unpacked).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(top.size(), 1);
    const QString folder = unpacked + u'/' + top.first();
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
             (QStringList{ u"LEAME.txt"_s, u"install-launcher"_s, u"ventolia"_s,
                           u"ventolia.desktop"_s, u"ventolia.png"_s }));
    QVERIFY(run(u"" DESKTOP_FILE_VALIDATE ""_s, { folder + u"/ventolia.desktop"_s }));
    // Ours, and those of Qt's Spanish translation, which the program carries.
    QCOMPARE(QDir(folder + u"/licencias"_s).entryList(QDir::Files, QDir::Name),
             (QStringList{ u"GPL-3.0.txt"_s, u"LICENSE"_s, u"NOTICE"_s, u"Qt-traducciones.txt"_s }));
    QVERIFY(DataFiles::read(folder + u"/licencias/LICENSE"_s).contains("MIT License"));
    QVERIFY(DataFiles::read(folder + u"/licencias/NOTICE"_s).contains("source package qt6-translations, version"));

    QString report;
    const QStringList created = createdByStarting(folder + u"/ventolia"_s, &report);
    QCOMPARE(report, u"ready=Registro 0/0"_s);
    QCOMPARE(created, QStringList{ folder + u"/Ventolia.dat"_s });
}

// The program file's icon on Windows is made from the same drawing.
void tst_Installation::windowsIconConverts()
{
    const QString ico = m_directory->filePath(u"ventolia.ico"_s);
    QVERIFY(run(u"" ICONTOOL ""_s, { u"" ICON_SOURCE ""_s, ico }));
    const QImage icon(ico);
    QCOMPARE(icon.size(), QSize(32, 32));
    QVERIFY(icon.hasAlphaChannel());
    QCOMPARE(icon.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(icon.pixelColor(10, 20), QColor(Qt::white));
}

// The user's guide, as Notepad shows it (UTF-8 with its mark, CRLF line
// ends), names every message that the program's code defines, and every
// reason: each fixed piece of it, between the values that fill it in.
void tst_Installation::guideNamesEveryMessage()
{
    const QByteArray guide = DataFiles::read(u"" SOURCE_DIR "/packaging/LEAME.txt"_s);
    QVERIFY(guide.startsWith("\xef\xbb\xbf"));
    QCOMPARE(guide.count('\n'), guide.count("\r\n"));
    const QString text = QString::fromUtf8(guide).simplified();
    const QRegularExpression literal(uR"re(QStringLiteral\(((?:\s*"(?:[^"\\]|\\.)*")+)\s*\))re"_s);
    const QRegularExpression quoted(uR"re("((?:[^"\\]|\\.)*)")re"_s);
    for (const QString &file : { u"data/recordfile.cpp"_s, u"data/systemreason.cpp"_s, u"ui/frmventolia.cpp"_s }) {
        const QString source = QString::fromUtf8(DataFiles::read(u"" SOURCE_DIR "/src/"_s + file));
        int sentences = 0;
        for (const QRegularExpressionMatch &match : literal.globalMatch(source)) {
            QString message;
            for (const QRegularExpressionMatch &part : quoted.globalMatch(match.captured(1)))
                message += part.captured(1);
            if (message.count(u' ') < 3) // a caption or a name
                continue;
            ++sentences;
            for (const QString &piece : message.split(QRegularExpression(u"%\\d"_s))) {
                const QString words = piece.simplified().remove(QRegularExpression(u"^[«».:, ]+|[«».:, ]+$"_s));
                if (words.contains(u' '))
                    QVERIFY2(text.contains(words), qPrintable(file + u": "_s + words));
            }
        }
        QVERIFY2(sentences > 0, qPrintable(file));
    }
}

QTEST_GUILESS_MAIN(tst_Installation)
#include "tst_installation.moc"
