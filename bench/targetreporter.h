#ifndef TARGETREPORTER_H
#define TARGETREPORTER_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>

// The console report, followed by each window figure as a ratio to the floor
// and each target beside the figure measured for it.
class TargetReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override;
    void Finalize() override;

private:
    // The run of that name; none where a filter left its benchmark out.
    const Run *run(const std::string &name) const;
    double seconds(const std::string &name) const;
    double counter(const std::string &name, const std::string &counterName) const;

    std::map<std::string, Run> m_runs; // the median where there are repetitions
};

#endif // TARGETREPORTER_H
