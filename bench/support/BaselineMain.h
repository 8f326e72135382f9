#pragma once

// The main of a benchmark program that measures against a baseline in the same run: the host
// services and device node kinds a project needs, and at the end each benchmark's median as a
// multiple of the baseline's.
#include "datamodel/device/DefaultDeviceNodes.h"
#include "host/DefaultApplication.h"
#include "sqlitex/QSqlitexDriver.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>

namespace benchsupport {

class MultipleOfBaseline : public benchmark::ConsoleReporter
{
public:
    // `realTime`: wall-clock medians (work on files), else CPU medians.
    MultipleOfBaseline(std::string baseline, bool realTime) : m_baseline(std::move(baseline)), m_realTime(realTime) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                m_median[run.run_name.function_name] = m_realTime ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void print() const
    {
        const auto base = m_median.find(m_baseline);
        if (base == m_median.end() || base->second <= 0)
            return;
        std::printf("\nmedian %s time as a multiple of %s:\n", m_realTime ? "wall" : "CPU", m_baseline.c_str());
        for (const auto& entry : m_median)
            std::printf("  %-22s %8.2f\n", entry.first.c_str(), entry.second / base->second);
    }

private:
    std::string m_baseline;
    bool m_realTime;
    std::map<std::string, double> m_median;
};

// Runs the registered benchmarks inside the host services a project needs; `after` (the
// reporter's summary, say) runs before the library shuts down.
inline int runInHost(int argc, char** argv, benchmark::BenchmarkReporter* reporter = nullptr,
                     const std::function<void()>& after = {})
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QSqlitexDriver::registerDriver();
    host::DefaultApplication host;
    host.install();
    DefaultDeviceNodes::registerDefaultDeviceNodes();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (reporter)
        benchmark::RunSpecifiedBenchmarks(reporter);
    else
        benchmark::RunSpecifiedBenchmarks();
    if (after)
        after();
    benchmark::Shutdown();
    return 0;
}

inline int baselineMain(int argc, char** argv, const char* baseline, bool realTime)
{
    MultipleOfBaseline reporter(baseline, realTime);
    return runInHost(argc, argv, &reporter, [&] { reporter.print(); });
}

} // namespace benchsupport
