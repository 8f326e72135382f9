// plcproj exec of scripts of 5 000 and 50 000 lines (a third of the lines add a POU, the
// others set its declaration and logic; the script ends with a save), as a process on a
// fresh copy of a new project each time; beside it the raw baseline of reading and splitting
// the same scripts alone. Target: 50 000 lines within 12 times 5 000 lines.
#include "ScriptReader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

QTemporaryDir& temp()
{
    static QTemporaryDir* dir = new QTemporaryDir; // lives as long as the program
    return *dir;
}

QByteArray script(int lines)
{
    QByteArray text;
    for (int i = 1; 3 * i <= lines - 1; ++i) {
        const QByteArray name = "P_" + QByteArray::number(i).rightJustified(5, '0');
        text += "add pou " + name + "\n";
        text += "decl pou " + name + " \"PROGRAM " + name + "\\nVAR\\n    x : INT;\\nEND_VAR\\n\"\n";
        text += "logic " + name + " \"x := x + 1;\"\n";
    }
    return text + "save\n";
}

QString scriptFile(int lines)
{
    const QString path = temp().filePath(QStringLiteral("script%1.txt").arg(lines));
    if (!QFile::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            std::exit(1);
        file.write(script(lines));
    }
    return path;
}

int run(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(PLCPROJ_PROGRAM), args);
    process.waitForFinished(-1);
    if (process.exitCode() != 0)
        std::fprintf(stderr, "plcproj %s: %s\n", qPrintable(args.join(' ')), process.readAllStandardError().constData());
    return process.exitCode();
}

// A new project, copied for every run.
QString projectCopy()
{
    static int copies = 0;
    const QString source = temp().filePath(QStringLiteral("Template"));
    if (!QDir(source).exists() && run({"create", source, "--name", "Scripted"}) != 0)
        std::exit(1);
    const QString copy = temp().filePath(QStringLiteral("copy%1").arg(++copies));
    QDir().mkpath(copy);
    for (const QString& name : QDir(source).entryList(QDir::Files))
        QFile::copy(QDir(source).filePath(name), QDir(copy).filePath(name));
    return copy;
}

void BM_Exec(benchmark::State& state)
{
    const QString file = scriptFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        const QString project = projectCopy();
        state.ResumeTiming();
        if (run({"exec", project, "-f", file}) != 0)
            state.SkipWithError("exec failed");
        state.PauseTiming();
        QDir(project).removeRecursively();
        state.ResumeTiming();
    }
}

void BM_Read(benchmark::State& state)
{
    const QByteArray text = script(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<plcproj::ScriptCommand> commands;
        plcproj::ScriptReader reader;
        if (!reader.read(text, plcproj::ScriptReader::Origin::File, commands))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(commands.data());
    }
}

void configure(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime()->ReportAggregatesOnly(true);
}

BENCHMARK(BM_Read)->Arg(5000)->Arg(50000)->Apply(configure);
BENCHMARK(BM_Exec)->Arg(5000)->Arg(50000)->Apply(configure);

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                m_times[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const
    {
        std::printf("\nratios of the median times (target):\n");
        ratio("exec 50 000 / 5 000 lines", "BM_Exec/50000", "BM_Exec/5000", 12.0);
        ratio("read 50 000 / 5 000 lines", "BM_Read/50000", "BM_Read/5000", 12.0);
    }

private:
    void ratio(const char* what, const char* a, const char* b, double target) const
    {
        auto x = m_times.find(a), y = m_times.find(b);
        if (x == m_times.end() || y == m_times.end() || y->second <= 0)
            return;
        const double r = x->second / y->second;
        std::printf("  %-28s %6.2f  (%.1f) %s\n", what, r, target, r <= target ? "met" : "MISSED");
    }
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
