// A whole-project check through the code of plcproj check against the raw baseline of
// parsing the same declaration and logic texts in the compiler core directly, in one run:
//   check/N  ProjectCheck::run on a generated project of N POUs (N/5 global lists and data
//            types), opened as plcproj check opens it (outside the timed region)
//   raw/N    the same texts through ac::ACCore: every declaration twice (the first pass
//            makes every name known, as the check does) and every logic text checked
// Targets: check / raw of 10 000 POUs within 2; check of 10 000 / check of 1 000 within 12.
#include "Generator.h"
#include "ProjectCheck.h"
#include "ProjectSession.h"
#include "support/BaselineMain.h"

#include "datamodel/device/DefaultDeviceNodes.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/project/AbstractPlcProjectModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "host/DefaultApplication.h"
#include "host/api/IProgramLanguageManager.h"
#include "sqlitex/QSqlitexDriver.h"

#include "accore/ACCore.h"
#include "accore/ASTTree.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

using namespace plcproj;

namespace {

struct Texts
{
    struct Object
    {
        std::string name, declaration, logic;
        int kind = -1, language = 0;
    };
    std::vector<Object> types, lists, pous;
};

// The generated projects by POU count; made once per run in a temporary folder, or kept in
// BENCH_CHECK_DIR between runs.
QString projectFolder(int pous)
{
    static QTemporaryDir* temp = new QTemporaryDir; // lives as long as the program
    static std::map<int, QString> made;
    auto it = made.find(pous);
    if (it != made.end())
        return it->second;
    const QString kept = qEnvironmentVariable("BENCH_CHECK_DIR");
    const QString folder = QDir(kept.isEmpty() ? temp->path() : kept).filePath(QStringLiteral("Check%1").arg(pous));
    if (!QDir(folder).exists()) {
        const QString file = QDir(folder).filePath(ProjectLocation::fileNameFor(QStringLiteral("Check%1").arg(pous), false));
        QDir().mkpath(folder);
        QString error;
        auto session = ProjectSession::create(folder,
                                              {{"fileName", "Check" + std::to_string(pous)}, {"filePath", file.toStdString()},
                                               {"projectType", "Project"}, {"programStyle", "IECStyle"},
                                               {"deviceType", DefaultDevice}},
                                              &error);
        ProjectGenerator::Options options;
        options.pous = pous;
        options.gvls = pous / 5;
        options.types = pous / 5;
        options.seed = 7;
        if (!session || !ProjectGenerator(options).fill(*session->model(), &error) || !session->model()->save()) {
            std::fprintf(stderr, "generating %d POUs failed: %s\n", pous, qPrintable(error));
            std::exit(1);
        }
    }
    return made[pous] = folder;
}

std::unique_ptr<ProjectSession> openForCheck(int pous)
{
    QString error;
    auto session = ProjectSession::open(projectFolder(pous), AbstractPlcProjectModel::DefaultPassword,
                                        ProjectSession::Access::Checking, &error);
    if (!session) {
        std::fprintf(stderr, "opening failed: %s\n", qPrintable(error));
        std::exit(1);
    }
    return session;
}

Texts textsOf(AbstractProjectModel& project)
{
    Texts texts;
    std::vector<DataTypeModel::DataUnit*> types;
    project.subModel<DataTypeModel>()->allDataUnits(types);
    for (auto* t : types)
        texts.types.push_back({t->name(), t->varDeclaration(), {}, t->coreParseKind()});
    std::vector<GlobalVarModel::GlobalVarTable*> lists;
    project.subModel<GlobalVarModel>()->allVarTables(lists);
    for (auto* l : lists)
        texts.lists.push_back({l->name(), l->varDeclaration(), {}});
    std::vector<PouModel::PouUnit*> pous;
    project.subModel<PouModel>()->allPous(pous, PouModel::AllPouTypes);
    for (auto* p : pous)
        texts.pous.push_back({p->name(), p->varDeclaration(), p->logicContext(), p->coreParseKind(), p->languageType()});
    return texts;
}

void BM_Check(benchmark::State& state)
{
    const int pous = static_cast<int>(state.range(0));
    std::size_t messages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto session = openForCheck(pous);
        state.ResumeTiming();
        messages = ProjectCheck::run(session->name()).size();
        state.PauseTiming();
        session.reset();
        state.ResumeTiming();
    }
    state.counters["messages"] = static_cast<double>(messages);
}

void BM_Raw(benchmark::State& state)
{
    const int pous = static_cast<int>(state.range(0));
    Texts texts;
    {
        auto session = openForCheck(pous);
        texts = textsOf(*session->model());
    }
    auto* languages = HostServices::get<host::IProgramLanguageManager>();
    std::size_t messages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto core = std::make_unique<ac::ACCore>();
        core->addFile("Raw", "Raw.nvp", 1, 1);
        state.ResumeTiming();
        messages = 0;
        auto declarations = [&](bool counted) {
            for (const auto& t : texts.types) {
                core->reset(ac::ACCore::ClearMessages);
                core->parserTypes(t.declaration, t.name, 1, false, false, t.kind);
                messages += counted ? core->errors().size() : 0;
            }
            for (const auto& l : texts.lists) {
                core->reset(ac::ACCore::ClearMessages);
                core->parseGlobalVars(l.declaration, l.name, 1, false, false);
                messages += counted ? core->errors().size() : 0;
            }
            for (const auto& p : texts.pous) {
                core->reset(ac::ACCore::ClearMessages);
                core->parserPou(p.declaration, p.name, 1, false, false, p.kind);
                messages += counted ? core->errors().size() : 0;
            }
        };
        declarations(false);
        declarations(true);
        for (const auto& p : texts.pous) {
            host::IProgramLanguageHandler* handler = languages ? languages->handler(p.language) : nullptr;
            if (!handler)
                continue;
            core->reset(ac::ACCore::ClearMessages);
            std::unique_ptr<ac::ASTTree> tree = handler->parse(p.logic, p.name, 1);
            core->checkPOU(tree->root(), p.name, -1, nullptr);
            messages += core->errors().size();
        }
        state.PauseTiming();
        core.reset();
        state.ResumeTiming();
    }
    state.counters["messages"] = static_cast<double>(messages);
}

double minimum(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

void configure(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ComputeStatistics("min", minimum)->ReportAggregatesOnly(true);
}

BENCHMARK(BM_Raw)->Arg(1000)->Arg(10000)->Apply(configure);
BENCHMARK(BM_Check)->Arg(1000)->Arg(10000)->Apply(configure);

// Prints the runs as usual and, at the end, the ratios of the targets.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.aggregate_name == "min" || run.aggregate_name == "median")
                m_times[run.aggregate_name][run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const
    {
        for (const auto& [statistic, times] : m_times) {
            std::printf("\nratios of the %s times (target):\n", statistic.c_str());
            ratio(times, "check / raw, 10 000 POUs", "BM_Check/10000", "BM_Raw/10000", 2.0);
            ratio(times, "check 10 000 / 1 000 POUs", "BM_Check/10000", "BM_Check/1000", 12.0);
            ratio(times, "raw 10 000 / 1 000 POUs", "BM_Raw/10000", "BM_Raw/1000", 12.0);
        }
    }

private:
    static void ratio(const std::map<std::string, double>& times, const char* what, const char* a, const char* b, double target)
    {
        auto x = times.find(a), y = times.find(b);
        if (x == times.end() || y == times.end() || y->second <= 0)
            return;
        const double r = x->second / y->second;
        std::printf("  %-28s %6.2f  (%.1f) %s\n", what, r, target, r <= target ? "met" : "MISSED");
    }
    std::map<std::string, std::map<std::string, double>> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter;
    return benchsupport::runInHost(argc, argv, &reporter, [&] { reporter.printRatios(); });
}
