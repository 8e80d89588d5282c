#include "targetreporter.h"

#include <cmath>
#include <cstdio>

namespace {

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void printRatio(const char *what, double seconds, double floor)
{
    std::printf("  %-28s %10.3f ms  %5.2f x the floor\n", what, seconds * 1e3, seconds / floor);
}

} // namespace

void TargetReporter::ReportRuns(const std::vector<Run> &runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
        if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
            m_runs.insert_or_assign(run.run_name.function_name + "/" + run.run_name.args, run);
    }
}

const TargetReporter::Run *TargetReporter::run(const std::string &name) const
{
    const auto found = m_runs.find(name);
    return found == m_runs.end() ? nullptr : &found->second;
}

double TargetReporter::seconds(const std::string &name) const
{
    const Run *found = run(name);
    return found ? found->GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(found->time_unit)
                 : std::nan("");
}

double TargetReporter::counter(const std::string &name, const std::string &counterName) const
{
    const Run *found = run(name);
    if (!found)
        return std::nan("");
    const auto value = found->counters.find(counterName);
    return value == found->counters.end() ? std::nan("") : double(value->second);
}

void TargetReporter::Finalize()
{
    ConsoleReporter::Finalize();

    const auto startUp = [this](const char *which) {
        return counter("Window/StartUp/", which) / 1e6;
    };
    const double floor = startUp("floor_us");
    const double noFile = startUp("no_file_us");
    const double full = startUp("32767_records_us");
    std::printf("\nStart-up until the window is shown (medians; the four started in turn):\n");
    printRatio("floor: plain window", floor, floor);
    printRatio("no data file", noFile, floor);
    printRatio("3 records", startUp("3_records_us"), floor);
    printRatio("32,767 records", full, floor);
    std::printf("  target: 32,767 records <= 1.10 x the floor: %.2f, %s\n", full / floor,
                verdict(full <= 1.10 * floor));
    std::printf("  target: 32,767 records <= 1.05 x no data file: %.2f, %s\n", full / noFile,
                verdict(full <= 1.05 * noFile));

    const double first = seconds("Window/ShowRecord/1");
    const double last = seconds("Window/ShowRecord/32767");
    const double spread = std::abs(last - first) / first;
    std::printf("\nShowRecord through the scroll bar (medians):\n");
    printRatio("record 1", first, floor);
    printRatio("record 32,767", last, floor);
    std::printf("  target: under 30 us: %.1f us and %.1f us, %s\n", first * 1e6, last * 1e6,
                verdict(first < 30e-6 && last < 30e-6));
    std::printf("  target: the two within 10%%: %.1f %%, %s\n", spread * 100, verdict(spread <= 0.10));

    const double sweep = seconds("Window/DragSweep/");
    std::printf("\nDrag sweep through all 32,767 values:\n");
    printRatio("sweep", sweep, floor);
    std::printf("  target: under 2 s: %.3f s, %s\n", sweep, verdict(sweep < 2.0));

    const double difference = counter("Process/PeakRss/", "difference_KiB");
    std::printf("\nPeak RSS, browsing every record of a full file against an empty file:\n");
    std::printf("  full %.0f KiB, empty %.0f KiB, difference %.0f KiB\n",
                counter("Process/PeakRss/", "full_KiB"),
                counter("Process/PeakRss/", "empty_KiB"), difference);
    std::printf("  target: within 1 MiB: %s\n", verdict(difference <= 1024));
}
