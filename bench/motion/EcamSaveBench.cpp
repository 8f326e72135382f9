// Cam tables at scale: a project of 200 tables with 359 key points each.
//   one point   the project's save after one point of one table changed
//   unchanged   the project's save with nothing changed
//   raw table   SQLCipher itself: one transaction that deletes and inserts the 359 point rows
//               of one table with prepared statements, on a copy of the same file
// The ratio printed at the end is one point / raw table: the save rewrites one table's points
// and nothing else, so it should stay within a small factor of the raw rewrite.
#include "datamodel/device/DefaultDeviceNodes.h"
#include "datamodel/motion/EcamModel.h"
#include "datamodel/project/AbstractPlcProjectModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "host/DefaultApplication.h"
#include "sqlitex/QSqlitexDriver.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr int Tables = 200;
constexpr int Points = 359;

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<PlcProjectModel> project;
    std::string file;
    std::string copy;

    Fixture()
    {
        file = dir.filePath("Cams.nvp").toStdString();
        project = std::make_unique<PlcProjectModel>("Cams", dir.path().toStdString(), file);
        if (!project->create({{"fileName", "Cams"}, {"filePath", file}, {"projectType", "Project"},
                              {"programStyle", "IECStyle"}, {"deviceType", "VX7_1616MT"}}))
            std::fprintf(stderr, "creating the project failed\n");
        auto* cams = project->subModel<EcamModel>();
        for (int t = 0; t < Tables; ++t) {
            EcamModel::EcamTable* table = cams->addEcamTable(QStringLiteral("Cam%1").arg(t));
            for (int p = 0; table && p < Points; ++p) {
                EcamData point;
                point.mainAxis = p;
                point.slaveAxis = t;
                table->addPoint(p, point);
            }
        }
        project->save();
        copy = dir.filePath("Raw.nvp").toStdString();
        QFile::copy(QString::fromStdString(file), QString::fromStdString(copy));
    }
    EcamModel::EcamTable* table() const
    {
        std::vector<EcamModel::EcamTable*> all;
        project->subModel<EcamModel>()->allEcamTables(all);
        return all[all.size() / 2];
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void onePoint(benchmark::State& state)
{
    EcamModel::EcamTable* table = fixture().table();
    double value = 0;
    for (auto _ : state) {
        EcamData point = table->getAllCamPoint()[100];
        point.slaveAxis = ++value;
        table->modifyPoint({{100, point}});
        if (!fixture().project->save())
            state.SkipWithError("save failed");
    }
}

void unchanged(benchmark::State& state)
{
    for (auto _ : state)
        if (!fixture().project->save())
            state.SkipWithError("save failed");
}

void rawTable(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(fixture().copy.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const QByteArray key = AbstractPlcProjectModel::DefaultPassword.toUtf8();
    sqlite3_key(db, key.constData(), key.size());
    sqlite3_stmt* clear = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "DELETE FROM EcamPoints WHERE TableId = ?", -1, &clear, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO EcamPoints (Id, TableId, Roworder, MainAxis, SlaveAxis, Velocity, Acceleration, "
                           "CamCurveType, Align1, Align2, Align3) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                       -1, &insert, nullptr);
    if (!clear || !insert)
        state.SkipWithError(sqlite3_errmsg(db));
    const int tableId = static_cast<int>(fixture().table()->id());
    const int firstPoint = 1000000;
    for (auto _ : state) {
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_bind_int(clear, 1, tableId);
        sqlite3_step(clear);
        sqlite3_reset(clear);
        for (int p = 0; p < Points; ++p) {
            sqlite3_bind_int(insert, 1, firstPoint + p);
            sqlite3_bind_int(insert, 2, tableId);
            sqlite3_bind_int(insert, 3, p);
            for (int c = 4; c <= 7; ++c)
                sqlite3_bind_double(insert, c, p * 0.5);
            for (int c = 8; c <= 11; ++c)
                sqlite3_bind_int(insert, c, 0);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            state.SkipWithError(sqlite3_errmsg(db));
    }
    sqlite3_finalize(clear);
    sqlite3_finalize(insert);
    sqlite3_close_v2(db);
}

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const
    {
        auto at = [this](const char* name) {
            auto it = m_times.find(name);
            return it == m_times.end() ? 0.0 : it->second;
        };
        if (at("raw table") > 0)
            std::printf("one point / raw table: %.2f\n", at("one point") / at("raw table"));
        if (at("unchanged") > 0)
            std::printf("one point / unchanged: %.2f\n", at("one point") / at("unchanged"));
    }

private:
    std::map<std::string, double> m_times;
};

} // namespace

BENCHMARK(onePoint)->Name("one point")->Unit(benchmark::kMillisecond);
BENCHMARK(unchanged)->Name("unchanged")->Unit(benchmark::kMillisecond);
BENCHMARK(rawTable)->Name("raw table")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
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
    fixture();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
