// The description catalogue on the sample hardware plus 400 generated controller files (a
// catalogue the size of an installation with many device files):
//   start from a valid cache   vs  parsing every file (and writing the cache)
//   start from a valid cache   vs  raw: read the cache file, qUncompress, QDataStream >> map
//   devProperty of a deep path vs  raw: the same keys looked up by hand in a local map
// Five repetitions; the ratios of the median and minimum CPU times are printed at the end, the
// two against raw baselines with their targets. Parsing and the cache share most of their cost
// (building the maps), so their ratio is given for information.
#include "datamodel/device/DevDescription.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

// Two application directories with the same files: one whose cache is valid, one where a
// folder stands in the cache's place so that every start parses the files.
struct Fixture
{
    QTemporaryDir root;
    QString cached;
    QString uncached;
    int files = 0;

    Fixture()
    {
        cached = root.filePath("cached");
        uncached = root.filePath("uncached");
        for (const QString& app : {cached, uncached})
            populate(app);
        QDir().mkpath(uncached + "/hardware/DeviceDescribe.bin");
        DevDescription warm(cached); // writes the cache
    }

    void populate(const QString& app)
    {
        files = 0;
        QDirIterator it(QStringLiteral(DATAMODEL_HARDWARE_DIR), {"*.djson"}, QDir::Files, QDirIterator::Subdirectories);
        QByteArray controller;
        while (it.hasNext()) {
            const QString file = it.next();
            const QString target = app + "/hardware/" + QDir(QStringLiteral(DATAMODEL_HARDWARE_DIR)).relativeFilePath(file);
            QDir().mkpath(QFileInfo(target).path());
            QFile::copy(file, target);
            ++files;
            if (file.endsWith("VX7_3232MT.djson")) {
                QFile in(file);
                in.open(QIODevice::ReadOnly);
                controller = in.readAll();
            }
        }
        for (int i = 0; i < 400; ++i) {
            QFile out(app + QStringLiteral("/hardware/DeviceDescribe/GEN_%1.djson").arg(i, 3, 10, QChar('0')));
            out.open(QIODevice::WriteOnly);
            out.write(QByteArray(controller).replace("VX7_3232MT :", QStringLiteral("GEN_%1 :").arg(i).toUtf8()));
            ++files;
        }
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_Start_Cache(benchmark::State& state)
{
    for (auto _ : state) {
        DevDescription catalogue(fixture().cached);
        if (catalogue.loadSource() != DevDescription::FromCache)
            state.SkipWithError("the cache was not used");
        benchmark::DoNotOptimize(catalogue.names().size());
    }
    state.counters["files"] = fixture().files;
}

void BM_Start_Parse(benchmark::State& state)
{
    for (auto _ : state) {
        DevDescription catalogue(fixture().uncached);
        benchmark::DoNotOptimize(catalogue.names().size());
    }
}

void BM_Start_RawCache(benchmark::State& state)
{
    for (auto _ : state) {
        QFile file(DevDescription::cachePath(fixture().cached));
        file.open(QIODevice::ReadOnly);
        const QByteArray raw = qUncompress(file.readAll());
        QDataStream in(raw);
        QVariantMap map;
        in >> map;
        benchmark::DoNotOptimize(map.size());
    }
}

const QString deepPath = QStringLiteral("GEN_217.Motion.Axis_Pulse.MaxVelocity");

void BM_Lookup_DevProperty(benchmark::State& state)
{
    static DevDescription catalogue(fixture().cached);
    for (auto _ : state)
        benchmark::DoNotOptimize(catalogue.devProperty(deepPath));
}

void BM_Lookup_Raw(benchmark::State& state)
{
    static const QVariantMap map = DevDescription(fixture().cached).descriptions();
    static const QStringList keys = deepPath.split('.');
    for (auto _ : state) {
        const QVariantMap* level = &map;
        QVariant value;
        for (const QString& key : keys) {
            value = level->value(key);
            level = static_cast<const QVariantMap*>(value.constData());
        }
        benchmark::DoNotOptimize(value);
    }
}

double minimum(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

void repeat(benchmark::internal::Benchmark* b)
{
    b->Repetitions(5)->ComputeStatistics("min", minimum)->ReportAggregatesOnly(true);
}

BENCHMARK(BM_Start_Cache)->Unit(benchmark::kMillisecond)->Iterations(10)->Apply(repeat);
BENCHMARK(BM_Start_RawCache)->Unit(benchmark::kMillisecond)->Iterations(10)->Apply(repeat);
BENCHMARK(BM_Start_Parse)->Unit(benchmark::kMillisecond)->Iterations(3)->Apply(repeat);
BENCHMARK(BM_Lookup_DevProperty)->Apply(repeat);
BENCHMARK(BM_Lookup_Raw)->Apply(repeat);

struct Ratio
{
    const char* what;
    const char* numerator;
    const char* denominator;
    double target; // 0: for information
};

const Ratio ratios[] = {
    {"parse / cache start", "BM_Start_Parse", "BM_Start_Cache", 0},
    {"cache start / raw cache read", "BM_Start_Cache", "BM_Start_RawCache", 1.5},
    {"devProperty / raw lookup", "BM_Lookup_DevProperty", "BM_Lookup_Raw", 3.0},
};

// Keeps the CPU time of every aggregate (statistic -> benchmark -> time) for the table of ratios.
class Ratios : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            m_cpu[run.aggregate_name][run.run_name.function_name] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void print()
    {
        for (const char* statistic : {"median", "min"}) {
            std::printf("\nratios of the %s CPU times:\n", statistic);
            std::map<std::string, double>& times = m_cpu[statistic];
            for (const Ratio& r : ratios) {
                if (times[r.denominator] <= 0)
                    continue;
                const double value = times[r.numerator] / times[r.denominator];
                std::printf("  %-30s %6.2f", r.what, value);
                if (r.target > 0)
                    std::printf("  (%.1f) %s", r.target, value <= r.target ? "met" : "MISSED");
                std::printf("\n");
            }
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> m_cpu;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Ratios reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print();
    benchmark::Shutdown();
    return 0;
}
