// The window on the offscreen platform, side by side with the floor: a plain
// window with the same controls that reads no file.

#include "windowbench.h"

#include "benchfolder.h"
#include "floorwindow.h"

#include "data/addressrecord.h"
#include "data/recordfile.h"
#include "ui/frmventolia.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QScrollBar>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <array>
#include <functional>

#include <sys/resource.h>

namespace {

void showAndWaitUntilExposed(QWidget &window)
{
    window.show();
    while (!window.windowHandle()->isExposed())
        QCoreApplication::processEvents();
}

QScrollBar *scrollBar(const frmVentolia &form)
{
    return form.findChild<QScrollBar *>(QStringLiteral("hsbVentolia"));
}

// Loads and shows the window as the program does.
void startOrDie(frmVentolia &form)
{
    if (!form.Form_Load())
        qFatal("the window did not load");
    showAndWaitUntilExposed(form);
}

qint64 nanosecondsToStart(const BenchFolder &folder)
{
    QElapsedTimer timer;
    timer.start();
    frmVentolia form(folder.path());
    startOrDie(form);
    return timer.nsecsElapsed();
}

qint64 nanosecondsToStartFloor()
{
    QElapsedTimer timer;
    timer.start();
    FloorWindow floor;
    showAndWaitUntilExposed(floor);
    return timer.nsecsElapsed();
}

// Creation, load and show, until the window system shows it (destruction
// included), with no data file (creating it is part of that start), with 3
// records and with 32,767. Each iteration starts the floor and the three
// windows, in an order that turns by one each time, so that every ratio
// compares like moments. The benchmark's time is the start with 32,767
// records; the counters give each start's average.
void startUp(benchmark::State &state)
{
    const BenchFolder noFile(BenchFolder::NoFile);
    const BenchFolder threeRecords(3);
    const BenchFolder fullFile(RecordFile::MaxRecords);
    std::array<qint64, 4> totals{};
    qint64 lastFull = 0;
    const std::array<std::function<void()>, 4> starts = {
        [&] { totals[0] += nanosecondsToStartFloor(); },
        [&] {
            totals[1] += nanosecondsToStart(noFile);
            noFile.removeDataFile();
        },
        [&] { totals[2] += nanosecondsToStart(threeRecords); },
        [&] { totals[3] += lastFull = nanosecondsToStart(fullFile); },
    };
    std::size_t first = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < starts.size(); ++i)
            starts[(first + i) % starts.size()]();
        first = (first + 1) % starts.size();
        state.SetIterationTime(double(lastFull) / 1e9);
    }
    const auto average = [](qint64 nanoseconds) {
        return benchmark::Counter(double(nanoseconds) / 1e3, benchmark::Counter::kAvgIterations);
    };
    state.counters["floor_us"] = average(totals[0]);
    state.counters["no_file_us"] = average(totals[1]);
    state.counters["3_records_us"] = average(totals[2]);
    state.counters["32767_records_us"] = average(totals[3]);
}
BENCHMARK(startUp)
        ->Name("Window/StartUp")
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(9)
        ->ReportAggregatesOnly(true);

// One ShowRecord per iteration, through the scroll bar's value: record n and
// its neighbour in turn.
void showRecord(benchmark::State &state)
{
    static const BenchFolder folder(RecordFile::MaxRecords);
    const int number = int(state.range(0));
    const int neighbour = number == 1 ? 2 : number - 1;
    frmVentolia form(folder.path());
    startOrDie(form);
    QScrollBar *bar = scrollBar(form);
    bool atNumber = false;
    for (auto _ : state) {
        atNumber = !atNumber;
        bar->setValue(atNumber ? number : neighbour);
    }
}
BENCHMARK(showRecord)
        ->Name("Window/ShowRecord")
        ->Arg(1)
        ->Arg(32767)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);

// The thumb dragged from the first record to the last: a scroll event for
// each of the 32,767 values, then the change event at the release.
void dragSweep(benchmark::State &state)
{
    static const BenchFolder folder(RecordFile::MaxRecords);
    frmVentolia form(folder.path());
    startOrDie(form);
    QScrollBar *bar = scrollBar(form);
    for (auto _ : state) {
        bar->setSliderDown(true);
        for (int value = 1; value <= RecordFile::MaxRecords; ++value)
            bar->setSliderPosition(value);
        bar->setSliderDown(false);
        state.PauseTiming();
        bar->setValue(1);
        state.ResumeTiming();
    }
}
BENCHMARK(dragSweep)->Name("Window/DragSweep")->Unit(benchmark::kMillisecond)->Iterations(1);

qint64 peakRssOfBrowsing(int records)
{
    const BenchFolder folder(records);
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(),
                  { QStringLiteral("--browse-all"), folder.path() });
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        qFatal("the browsing process failed: %s", process.readAllStandardError().constData());
    return process.readAllStandardOutput().trimmed().toLongLong();
}

// Peak memory of a process that loads a full file and shows every record,
// against one that loads an empty file.
void peakRss(benchmark::State &state)
{
    qint64 full = 0;
    qint64 empty = 0;
    for (auto _ : state) {
        full = peakRssOfBrowsing(RecordFile::MaxRecords);
        empty = peakRssOfBrowsing(0);
    }
    state.counters["full_KiB"] = double(full);
    state.counters["empty_KiB"] = double(empty);
    state.counters["difference_KiB"] = double(full - empty);
}
BENCHMARK(peakRss)->Name("Process/PeakRss")->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int browseAllAndReportPeakRss(const char *directory)
{
    const QString folder = QString::fromLocal8Bit(directory);
    frmVentolia form(folder);
    startOrDie(form);
    QScrollBar *bar = scrollBar(form);
    for (int value = bar->minimum(); value <= bar->maximum(); ++value)
        bar->setValue(value);
    const QString last = form.findChild<QLabel *>(QStringLiteral("lblRegistro"))->text();
    const qint64 records = QFileInfo(RecordFile::dataFilePath(folder)).size() / AddressRecord::Length;
    if (records > 0 && last != QStringLiteral("Registro %1/%1").arg(records))
        qFatal("browsing ended at \"%s\"", qPrintable(last));
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}
