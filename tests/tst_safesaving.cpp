#include "datafiles.h"
#include "formcontrols.h"
#include "formfixture.h"
#include "writerrecords.h"

#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using namespace FormControls;

class tst_SafeSaving : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void manyWritersAtOnce();
    void killedWhileAppending();

private:
    std::unique_ptr<QProcess> startWriter(int writer, int count) const;
    // Each writer's sequence numbers, in file order; fails on a torn record.
    std::map<int, std::vector<int>> sequencesInFile() const;

    std::optional<FormFixture> m_fixture;
};

void tst_SafeSaving::init()
{
    m_fixture.emplace();
    QVERIFY(m_fixture->isValid());
}

std::unique_ptr<QProcess> tst_SafeSaving::startWriter(int writer, int count) const
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(u"" OTHER_PROGRAM ""_s, { u"append"_s, m_fixture->dataFilePath(), QString::number(writer),
                                             QString::number(count) });
    return process;
}

std::map<int, std::vector<int>> tst_SafeSaving::sequencesInFile() const
{
    const QByteArray bytes = DataFiles::read(m_fixture->dataFilePath());
    std::map<int, std::vector<int>> sequences;
    for (qsizetype offset = 0; offset + 255 <= bytes.size(); offset += 255) {
        const auto identity = WriterRecords::identify(bytes.mid(offset, 255));
        if (!identity) {
            qWarning("torn record at offset %lld", qlonglong(offset));
            return {};
        }
        sequences[identity->first].push_back(identity->second);
    }
    return sequences;
}

static std::vector<int> upTo(int count)
{
    std::vector<int> numbers(count);
    std::iota(numbers.begin(), numbers.end(), 0);
    return numbers;
}

// Eight processes append 250 records each to one file at the same time.
void tst_SafeSaving::manyWritersAtOnce()
{
    constexpr int writers = 8;
    constexpr int records = 250;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int writer = 0; writer < writers; ++writer)
        processes.push_back(startWriter(writer, records));
    for (const auto &process : processes) {
        QVERIFY(process->waitForFinished(120000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
    }

    QCOMPARE(QFileInfo(m_fixture->dataFilePath()).size(), qint64(writers) * records * 255);
    const auto sequences = sequencesInFile();
    QCOMPARE(sequences.size(), std::size_t(writers));
    for (const auto &[writer, numbers] : sequences)
        QCOMPARE(numbers, upTo(records));
}

// A writer killed at a random moment while it appends, again and again:
// every whole record left in the file is intact, and each writer's records
// are all there up to the one it was writing.
void tst_SafeSaving::killedWhileAppending()
{
    constexpr int rounds = 25;
    for (int round = 0; round < rounds; ++round) {
        const qint64 sizeBefore = QFileInfo(m_fixture->dataFilePath()).size();
        std::unique_ptr<QProcess> writer = startWriter(round, 0);
        QVERIFY(writer->waitForStarted());
        // A slow start (a loaded machine, a sanitizer build) must not turn
        // the round into killing a writer that has not appended yet.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_fixture->dataFilePath()).size() > sizeBefore, 60000);
        QTest::qWait(QRandomGenerator::global()->bounded(0, 50));
        writer->kill();
        QVERIFY(writer->waitForFinished());
        QCOMPARE(writer->exitStatus(), QProcess::CrashExit);
    }
    const auto sequences = sequencesInFile();
    QCOMPARE(sequences.size(), std::size_t(rounds));
    for (const auto &[writer, numbers] : sequences)
        QCOMPARE(numbers, upTo(int(numbers.size())));

    // What a write cut short at the wrong moment leaves: a piece of a record.
    QFile file(m_fixture->dataFilePath());
    QVERIFY(file.open(QIODevice::Append));
    QCOMPARE(file.write(QByteArray(100, '#')), 100);
    file.close();
    const qint64 whole = file.size() / 255;

    // The next start counts whole records only; the next save writes over the piece.
    QVERIFY(m_fixture->start());
    QCOMPARE(counter(m_fixture->form())->text(), u"Registro 1/%1"_s.arg(whole));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClicks(QApplication::focusWidget(), u"Ana"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(counter(m_fixture->form())->text(), u"Registro %1/%1"_s.arg(whole + 1));
    const QByteArray bytes = DataFiles::read(m_fixture->dataFilePath());
    QCOMPARE(bytes.size(), (whole + 1) * 255);
    QCOMPARE(bytes.right(255), QByteArray("Ana").leftJustified(255, ' '));
}

QTEST_MAIN(tst_SafeSaving)
#include "tst_safesaving.moc"
