// Ventolia's benchmarks: the record file, and the window on the offscreen
// platform side by side with a plain window that reads no file.
//   ventolia_bench [Google Benchmark options]
//   ventolia_bench --browse-all DIRECTORY   (used by the peak-memory figure)

#include "targetreporter.h"
#include "windowbench.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstring>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--browse-all") == 0)
        return browseAllAndReportPeakRss(argv[2]);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
