// The program models against SQLCipher itself, in one run:
//   open      every program sub-model's open() against SELECT * of the same tables through the
//             C API, reading every column of every row;
//   save all  a save of every object (all modified) into a fresh copy of the schema against a
//             bulk insert of the same rows in one transaction;
//   one edit  the save after one edit of a POU in a project of 100 and of 10 000 objects: the
//             models write the objects set modified since the last save, not every object,
//             so the CPU time of the two must be the same within 1.2.
// Key derivation (tens of milliseconds per connection) happens outside the timed regions on
// both sides. The ratios are printed at the end; targets: open 1.5, save all 2, one edit 2
// (wall) and 1.2 (CPU).
#include "datamodel/device/DefaultDeviceNodes.h"
#include "datamodel/project/AbstractPlcProjectModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"
#include "host/DefaultApplication.h"
#include "plcproj/Generator.h"
#include "sqlitex/QSqlitexDriver.h"
#include "support/BaselineMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

namespace {

const QByteArray key = AbstractPlcProjectModel::DefaultPassword.toUtf8();

struct Files
{
    QTemporaryDir dir;
    std::string large;    // 10 000 POUs, 2 000 lists, 2 000 types
    std::string template_; // the schema with no program rows
    std::string edit100;
    std::string edit10k;
    int copies = 0;

    std::string next()
    {
        return dir.filePath(QStringLiteral("copy%1.nvp").arg(++copies)).toStdString();
    }
};

std::unique_ptr<PlcProjectModel> createProject(const QDir& dir, const std::string& name, int pous, int gvls, int types)
{
    const std::string file = dir.filePath(QString::fromStdString(name) + ".nvp").toStdString();
    QFile::remove(QString::fromStdString(file));
    auto project = std::make_unique<PlcProjectModel>(name, dir.path().toStdString(), file);
    if (!project->create({{"fileName", name}, {"filePath", file}, {"projectType", "Project"},
                          {"programStyle", "IECStyle"}, {"deviceType", "VX7_1616MT"}})) {
        std::fprintf(stderr, "creating %s failed\n", file.c_str());
        std::exit(1);
    }
    ProjectGenerator::Options options;
    options.pous = pous;
    options.gvls = gvls;
    options.types = types;
    options.seed = 42;
    QString error;
    if (!ProjectGenerator(options).fill(*project, &error) || !project->save()) {
        std::fprintf(stderr, "generating %s failed: %s\n", file.c_str(), qPrintable(error));
        std::exit(1);
    }
    return project;
}

void exec(sqlite3* db, const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, message ? message : "?");
        std::exit(1);
    }
}

// A raw connection with its key derived, as the driver leaves one after open.
sqlite3* openRaw(const std::string& file, bool writable)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr);
    sqlite3_key(db, key.constData(), key.size());
    exec(db, "SELECT count(*) FROM sqlite_master");
    return db;
}

// The generated projects. BENCH_PROGRAM_DIR names a folder where they are kept between runs
// (for profiling); without it they are made anew in a temporary folder.
Files& files()
{
    static Files* made = [] {
        auto* f = new Files; // lives as long as the program
        const QString kept = qEnvironmentVariable("BENCH_PROGRAM_DIR");
        const QDir dir(kept.isEmpty() ? f->dir.path() : kept);
        auto path = [&dir](const char* name) { return dir.filePath(QString::fromLatin1(name)).toStdString(); };
        f->large = path("Large.nvp");
        f->template_ = path("Template.nvp");
        f->edit100 = path("Edit100.nvp");
        f->edit10k = path("Edit10k.nvp");
        if (QFile::exists(QString::fromStdString(f->edit10k)))
            return f;
        createProject(dir, "Large", 10000, 2000, 2000).reset();
        createProject(dir, "Template", 0, 0, 0).reset();
        sqlite3* db = openRaw(f->template_, true);
        exec(db, "DELETE FROM POU; DELETE FROM GlobalVar; DELETE FROM DataType; DELETE FROM Folder; "
                 "DELETE FROM Task; DELETE FROM POUInTask;");
        sqlite3_close_v2(db);
        createProject(dir, "Edit100", 70, 15, 15).reset();
        createProject(dir, "Edit10k", 7000, 1500, 1500).reset();
        return f;
    }();
    return *made;
}

// ---- open ----

const char* const programTables[] = {"SELECT * FROM ProjectInfo",
                                     "SELECT * FROM POU",
                                     "SELECT * FROM GlobalVar",
                                     "SELECT * FROM DataType",
                                     "SELECT * FROM Folder",
                                     "SELECT * FROM miscproperties where Name is 'Task Config'",
                                     "SELECT * FROM Task",
                                     "SELECT * FROM POUInTask"};

void BM_Open_Raw(benchmark::State& state)
{
    const std::string file = files().large;
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = openRaw(file, false);
        state.ResumeTiming();
        std::size_t bytes = 0;
        for (const char* sql : programTables) {
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
            const int columns = sqlite3_column_count(statement);
            while (sqlite3_step(statement) == SQLITE_ROW) {
                for (int c = 0; c < columns; ++c) {
                    switch (sqlite3_column_type(statement, c)) {
                    case SQLITE_INTEGER: bytes += static_cast<std::size_t>(sqlite3_column_int64(statement, c) & 1); break;
                    case SQLITE_FLOAT: bytes += sqlite3_column_double(statement, c) > 0; break;
                    case SQLITE_BLOB:
                        benchmark::DoNotOptimize(sqlite3_column_blob(statement, c));
                        bytes += static_cast<std::size_t>(sqlite3_column_bytes(statement, c));
                        break;
                    case SQLITE_TEXT:
                        benchmark::DoNotOptimize(sqlite3_column_text(statement, c));
                        bytes += static_cast<std::size_t>(sqlite3_column_bytes(statement, c));
                        break;
                    default: break;
                    }
                }
            }
            sqlite3_finalize(statement);
        }
        benchmark::DoNotOptimize(bytes);
        state.PauseTiming();
        sqlite3_close_v2(db);
        state.ResumeTiming();
    }
}

void BM_Open_Model(benchmark::State& state)
{
    const std::string file = files().large;
    std::size_t pous = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto project = std::make_unique<PlcProjectModel>("OpenBench", files().dir.path().toStdString(), file);
        QSqlDatabase db;
        if (!AbstractPlcProjectModel::openDB("OpenBench", file, db, AbstractPlcProjectModel::DefaultPassword, false))
            std::exit(1);
        project->setSqlDatabase(&db);
        project->addSubModel(new PrjInfoModel("PrjInfoModel", project.get()));
        project->addSubModel(new PouModel("PouModel", project.get()));
        project->addSubModel(new GlobalVarModel("GlobalVarModel", project.get()));
        project->addSubModel(new FolderModel("FolderModel", project.get()));
        project->addSubModel(new DataTypeModel("DataTypeModel", project.get()));
        project->addSubModel(new TaskModel("TaskModel", project.get()));
        state.ResumeTiming();
        for (SubModel* model : project->subModels())
            model->open();
        state.PauseTiming();
        std::vector<PouModel::PouUnit*> all;
        project->subModel<PouModel>()->allPous(all, ~0);
        pous = all.size();
        project.reset();
        state.ResumeTiming();
    }
    state.counters["pous"] = static_cast<double>(pous);
}

// ---- save of everything ----

struct Rows
{
    struct Pou
    {
        qint64 id, type, language, modifyTime, folder;
        std::string name, declaration, logic, properties;
        std::vector<char> graph;
    };
    struct Text
    {
        qint64 id, type, modifyTime, folder;
        std::string name, text, properties;
    };
    struct Folder
    {
        qint64 id, parent, type;
        std::string name, properties;
    };
    struct Task
    {
        qint64 id, type, wdt;
        std::string name, properties;
        std::vector<int> pous, entries;
    };
    std::vector<Pou> pous;
    std::vector<Text> lists, types;
    std::vector<Folder> folders;
    std::vector<Task> tasks;
};

// The large project opened once for the save benchmarks; its rows as plain values for the
// raw side.
struct Loaded
{
    std::unique_ptr<PlcProjectModel> project;
    Rows rows;
};

Loaded& loaded()
{
    static Loaded* made = [] {
        auto* l = new Loaded; // lives as long as the program
        const std::string file = files().next();
        QFile::copy(QString::fromStdString(files().large), QString::fromStdString(file));
        l->project = std::make_unique<PlcProjectModel>("SaveBench", files().dir.path().toStdString(), file);
        if (!l->project->open("SaveBench", file, AbstractPlcProjectModel::DefaultPassword.toStdString(), true))
            std::exit(1);
        std::vector<PouModel::PouUnit*> pous;
        l->project->subModel<PouModel>()->allPous(pous, ~0);
        for (auto* p : pous)
            l->rows.pous.push_back({p->id(), p->type(), p->languageType(), p->varModifiedTime(), p->folderId(), p->name(),
                                    p->varDeclaration(), p->logicContext(), p->properties().toJson().toStdString(),
                                    p->graphData()});
        std::vector<GlobalVarModel::GlobalVarTable*> lists;
        l->project->subModel<GlobalVarModel>()->allVarTables(lists);
        for (auto* g : lists)
            l->rows.lists.push_back({g->id(), 0, g->modifiedTime(), g->folderId(), g->name(), g->varDeclaration(),
                                     g->properties().toJson().toStdString()});
        std::vector<DataTypeModel::DataUnit*> types;
        l->project->subModel<DataTypeModel>()->allDataUnits(types);
        for (auto* t : types)
            l->rows.types.push_back({t->id(), t->type(), t->modifiedTime(), t->folderId(), t->name(), t->varDeclaration(),
                                     t->properties().toJson().toStdString()});
        std::vector<FolderModel::Folder*> folders;
        l->project->subModel<FolderModel>()->allFolders(folders, ~0);
        for (auto* f : folders)
            l->rows.folders.push_back({f->id(), f->parentId(), f->type(), f->name(), f->properties().toJson().toStdString()});
        std::vector<TaskModel::Task*> tasks;
        l->project->subModel<TaskModel>()->allTasks(tasks);
        for (auto* t : tasks)
            l->rows.tasks.push_back({t->id(), t->type(), t->wdtTime(), t->name(), t->properties().toJson().toStdString(),
                                     t->allPouIds(), t->allPouInTaskIds()});
        return l;
    }();
    return *made;
}

void markEverythingModified(AbstractProjectModel& project)
{
    std::vector<PouModel::PouUnit*> pous;
    project.subModel<PouModel>()->allPous(pous, ~0);
    for (auto* o : pous)
        o->setModified(true);
    std::vector<GlobalVarModel::GlobalVarTable*> lists;
    project.subModel<GlobalVarModel>()->allVarTables(lists);
    for (auto* o : lists)
        o->setModified(true);
    std::vector<DataTypeModel::DataUnit*> types;
    project.subModel<DataTypeModel>()->allDataUnits(types);
    for (auto* o : types)
        o->setModified(true);
    std::vector<FolderModel::Folder*> folders;
    project.subModel<FolderModel>()->allFolders(folders, ~0);
    for (auto* o : folders)
        o->setModified(true);
    std::vector<TaskModel::Task*> tasks;
    project.subModel<TaskModel>()->allTasks(tasks);
    for (auto* o : tasks)
        o->setModified(true);
}

void BM_SaveAll_Model(benchmark::State& state)
{
    Loaded& l = loaded();
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string target = files().next();
        QFile::copy(QString::fromStdString(files().template_), QString::fromStdString(target));
        if (!l.project->saveAs("SaveBench", target, true))
            std::exit(1);
        markEverythingModified(*l.project);
        state.ResumeTiming();
        ok = l.project->save() && ok;
        state.PauseTiming();
        QFile::remove(QString::fromStdString(target));
        state.ResumeTiming();
    }
    if (!ok)
        state.SkipWithError("a save failed");
}

void bindText(sqlite3_stmt* statement, int index, const std::string& text)
{
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void stepAndReset(sqlite3_stmt* statement)
{
    if (sqlite3_step(statement) != SQLITE_DONE)
        std::exit(1);
    sqlite3_reset(statement);
}

void insertEverything(sqlite3* db, const Rows& rows)
{
    exec(db, "BEGIN");
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO POU (ID, TYPE, LANGUAGETYPE, NAME, VARDECLARATION, LOGICCONTEXT, MODIFYTIME, "
                       "FOLDERID, PROPERTIES, GRAPHDATA) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                       -1, &s, nullptr);
    for (const auto& p : rows.pous) {
        sqlite3_bind_int64(s, 1, p.id);
        sqlite3_bind_int64(s, 2, p.type);
        sqlite3_bind_int64(s, 3, p.language);
        bindText(s, 4, p.name);
        bindText(s, 5, p.declaration);
        bindText(s, 6, p.logic);
        sqlite3_bind_int64(s, 7, p.modifyTime);
        sqlite3_bind_int64(s, 8, p.folder);
        bindText(s, 9, p.properties);
        sqlite3_bind_blob(s, 10, p.graph.data(), static_cast<int>(p.graph.size()), SQLITE_STATIC);
        stepAndReset(s);
    }
    sqlite3_finalize(s);
    sqlite3_prepare_v2(db,
                       "INSERT INTO GLOBALVAR (ID, NAME, LOGICCONTEXT, MODIFYTIME, PROPERTIES, FOLDERID) "
                       "VALUES (?, ?, ?, ?, ?, ?)",
                       -1, &s, nullptr);
    for (const auto& g : rows.lists) {
        sqlite3_bind_int64(s, 1, g.id);
        bindText(s, 2, g.name);
        bindText(s, 3, g.text);
        sqlite3_bind_int64(s, 4, g.modifyTime);
        bindText(s, 5, g.properties);
        sqlite3_bind_int64(s, 6, g.folder);
        stepAndReset(s);
    }
    sqlite3_finalize(s);
    sqlite3_prepare_v2(db,
                       "INSERT INTO DATATYPE (ID, TYPE, NAME, VARDECLARATION, FOLDERID, PROPERTIES, MODIFYTIME) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?)",
                       -1, &s, nullptr);
    for (const auto& t : rows.types) {
        sqlite3_bind_int64(s, 1, t.id);
        sqlite3_bind_int64(s, 2, t.type);
        bindText(s, 3, t.name);
        bindText(s, 4, t.text);
        sqlite3_bind_int64(s, 5, t.folder);
        bindText(s, 6, t.properties);
        sqlite3_bind_int64(s, 7, t.modifyTime);
        stepAndReset(s);
    }
    sqlite3_finalize(s);
    sqlite3_prepare_v2(db, "INSERT INTO FOLDER (ID, PARENTID, TYPE, NAME, PROPERTIES) VALUES (?, ?, ?, ?, ?)", -1, &s,
                       nullptr);
    for (const auto& f : rows.folders) {
        sqlite3_bind_int64(s, 1, f.id);
        sqlite3_bind_int64(s, 2, f.parent);
        sqlite3_bind_int64(s, 3, f.type);
        bindText(s, 4, f.name);
        bindText(s, 5, f.properties);
        stepAndReset(s);
    }
    sqlite3_finalize(s);
    sqlite3_stmt* entry = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO TASK (ID, NAME, TYPE, WTDTIME, PROPERTIES) VALUES (?, ?, ?, ?, ?)", -1, &s,
                       nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO POUInTask (Id, TaskId, POUID) VALUES (?, ?, ?)", -1, &entry, nullptr);
    for (const auto& t : rows.tasks) {
        if (t.id == 0)
            continue; // the configuration row is updated, not inserted
        sqlite3_bind_int64(s, 1, t.id);
        bindText(s, 2, t.name);
        sqlite3_bind_int64(s, 3, t.type);
        sqlite3_bind_int64(s, 4, t.wdt);
        bindText(s, 5, t.properties);
        stepAndReset(s);
        for (std::size_t i = 0; i < t.pous.size(); ++i) {
            sqlite3_bind_int64(entry, 1, t.entries[i]);
            sqlite3_bind_int64(entry, 2, t.id);
            sqlite3_bind_int64(entry, 3, t.pous[i]);
            stepAndReset(entry);
        }
    }
    sqlite3_finalize(s);
    sqlite3_finalize(entry);
    exec(db, "COMMIT");
}

void BM_SaveAll_Raw(benchmark::State& state)
{
    const Rows& rows = loaded().rows;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string target = files().next();
        QFile::copy(QString::fromStdString(files().template_), QString::fromStdString(target));
        sqlite3* db = openRaw(target, true);
        state.ResumeTiming();
        insertEverything(db, rows);
        state.PauseTiming();
        sqlite3_close_v2(db);
        QFile::remove(QString::fromStdString(target));
        state.ResumeTiming();
    }
}

// ---- one edit ----

void BM_EditSave_Model(benchmark::State& state)
{
    // Opened once per size and kept as long as the program (a static map would be destroyed
    // after the application object, which the models still reach when they close).
    static auto* projects = new std::map<int, std::unique_ptr<PlcProjectModel>>;
    auto& project = (*projects)[static_cast<int>(state.range(0))];
    if (!project) {
        const std::string source = state.range(0) == 0 ? files().edit100 : files().edit10k;
        const std::string file = files().next();
        QFile::copy(QString::fromStdString(source), QString::fromStdString(file));
        const std::string name = "Edit" + std::to_string(state.range(0));
        project = std::make_unique<PlcProjectModel>(name, files().dir.path().toStdString(), file);
        if (!project->open(name, file, AbstractPlcProjectModel::DefaultPassword.toStdString(), true))
            std::exit(1);
    }
    std::vector<PouModel::PouUnit*> pous;
    project->subModel<PouModel>()->allPous(pous, ~0);
    std::size_t objects = pous.size();
    std::vector<GlobalVarModel::GlobalVarTable*> lists;
    project->subModel<GlobalVarModel>()->allVarTables(lists);
    std::vector<DataTypeModel::DataUnit*> types;
    project->subModel<DataTypeModel>()->allDataUnits(types);
    objects += lists.size() + types.size();
    int edit = 0;
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        PouModel::PouUnit* pou = pous[static_cast<std::size_t>(edit++) % pous.size()];
        pou->setLogicContext(pou->logicContext() + "\n// edit " + std::to_string(edit));
        state.ResumeTiming();
        ok = project->save() && ok;
    }
    if (!ok)
        state.SkipWithError("a save failed");
    state.counters["objects"] = static_cast<double>(objects);
}

// The machine is shared: every benchmark runs five times, and the ratios are given for the
// medians and for the minima (the runs least disturbed by other work on the machine) of the
// wall-clock times, and for the medians of the CPU times.
double minimum(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

void configure(benchmark::internal::Benchmark* b, int iterations)
{
    b->Unit(benchmark::kMillisecond)
        ->Iterations(iterations)
        ->Repetitions(5)
        ->ComputeStatistics("min", minimum)
        ->ReportAggregatesOnly(true);
}

BENCHMARK(BM_Open_Raw)->Apply([](auto* b) { configure(b, 8); });
BENCHMARK(BM_Open_Model)->Apply([](auto* b) { configure(b, 8); });
BENCHMARK(BM_SaveAll_Raw)->Apply([](auto* b) { configure(b, 5); });
BENCHMARK(BM_SaveAll_Model)->Apply([](auto* b) { configure(b, 5); });
BENCHMARK(BM_EditSave_Model)->Arg(0)->Arg(1)->Apply([](auto* b) { configure(b, 40); });

// Prints the runs as usual and, at the end, the ratios that the targets are stated in.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.aggregate_name == "median" || run.aggregate_name == "min") {
                const std::string name = run.run_name.function_name + "/" + run.run_name.args;
                m_times[run.aggregate_name][name] = run.GetAdjustedRealTime();
                m_times[run.aggregate_name + " CPU"][name] = run.GetAdjustedCPUTime();
            }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const
    {
        // The CPU times show the work itself, undisturbed by waits for a core.
        for (const char* statistic : {"median", "min", "median CPU"}) {
            std::printf("\nratios of the %s times%s:\n", statistic,
                        std::string(statistic).find("CPU") == std::string::npos ? " (target)" : "");
            ratio(statistic, "open, model / raw", "BM_Open_Model/", "BM_Open_Raw/", 1.5);
            ratio(statistic, "save all, model / raw", "BM_SaveAll_Model/", "BM_SaveAll_Raw/", 2.0);
            ratio(statistic, "one edit, 10 000 / 100 objects", "BM_EditSave_Model/1", "BM_EditSave_Model/0", 2.0);
        }
    }

private:
    void ratio(const std::string& statistic, const char* what, const std::string& a, const std::string& b,
               double target) const
    {
        auto times = m_times.find(statistic);
        if (times == m_times.end())
            return;
        auto x = times->second.find(a), y = times->second.find(b);
        if (x == times->second.end() || y == times->second.end() || y->second <= 0)
            return;
        const double r = x->second / y->second;
        // The targets are stated for wall-clock times; the CPU ratios are for information.
        if (statistic.find("CPU") != std::string::npos && std::string(what).find("one edit") == std::string::npos)
            std::printf("  %-34s %5.2f\n", what, r);
        else if (statistic.find("CPU") != std::string::npos)
            std::printf("  %-34s %5.2f  (1.2) %s\n", what, r, r <= 1.2 ? "met" : "MISSED");
        else
            std::printf("  %-34s %5.2f  (%.1f) %s\n", what, r, target, r <= target ? "met" : "MISSED");
    }

    std::map<std::string, std::map<std::string, double>> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter;
    return benchsupport::runInHost(argc, argv, &reporter, [&] { reporter.printRatios(); });
}
