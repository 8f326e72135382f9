// 100 000 soft component comments over all eight letters: the model's save and open against a
// raw insert and select of the same rows on the same connection, in the same run.
#include "datamodel/auxiliary/SoftComponentModel.h"
#include "datamodel/device/DefaultDeviceNodes.h"
#include "datamodel/project/PlcProjectModel.h"
#include "host/DefaultApplication.h"
#include "sqlitex/QSqlitexDriver.h"
#include "support/BaselineMain.h"

#include <QApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int Comments = 100000;

struct Row
{
    QString letter;
    int order;
    QString comment;
};

// Every address of X, Y, M, S, D, B and R, then W up to 100 000 comments.
std::vector<Row> rows()
{
    std::vector<Row> out;
    for (const QString& letter : QStringList{"X", "Y", "M", "S", "D", "B", "R", "W"}) {
        const SoftComponentModel::AddressRange range = SoftComponentModel::addressRange(letter);
        for (int n = 0; n < range.count && int(out.size()) < Comments; ++n)
            out.push_back({letter, n, QStringLiteral("%1%2 注释 it's %3").arg(letter).arg(n).arg(n * 7)});
    }
    return out;
}

struct Fixture
{
    Fixture() : all(rows())
    {
        const std::string file = dir.filePath("Bench.nvp").toStdString();
        project = std::make_unique<PlcProjectModel>("Bench", dir.path().toStdString(), file);
        if (!project->create({{"fileName", "Bench"}, {"filePath", file}, {"projectType", "Project"},
                              {"programStyle", "IECStyle"}, {"deviceType", "VX7_1616MT"}})) {
            std::fprintf(stderr, "creating the bench project failed\n");
            std::exit(1);
        }
        model = project->subModel<SoftComponentModel>();
    }
    // An empty table and a model holding every comment, to be inserted.
    void prepareSave()
    {
        QSqlQuery(project->db()).exec("DELETE FROM SoftwareComponentTable");
        model->open();
        for (const Row& row : all)
            model->insertSoftComponentComment(row.letter, row.order, row.comment);
    }

    QTemporaryDir dir;
    std::vector<Row> all;
    std::unique_ptr<PlcProjectModel> project;
    SoftComponentModel* model = nullptr;
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_ModelSave(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        f.prepareSave();
        state.ResumeTiming();
        if (!f.model->save())
            state.SkipWithError("save failed");
    }
    state.counters["rows"] = double(f.all.size());
}

void BM_RawInsertBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    QSqlDatabase db = f.project->db();
    for (auto _ : state) {
        state.PauseTiming();
        QSqlQuery(db).exec("DELETE FROM SoftwareComponentTable");
        state.ResumeTiming();
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare("INSERT INTO SoftwareComponentTable(Id,Name,OrderNum,Snapshot,Comments,BitComments, Properties) "
                       "VALUES(?, ?, ?, ?, ?, ?, ?)");
        int id = 1;
        for (const Row& row : f.all) {
            const bool isData = row.letter == QLatin1String("D");
            insert.bindValue(0, id++);
            insert.bindValue(1, row.letter);
            insert.bindValue(2, row.order);
            insert.bindValue(3, QString(""));
            insert.bindValue(4, row.comment);
            insert.bindValue(5, isData ? QStringLiteral("{\"BitComments\":{}}") : QString(""));
            insert.bindValue(6, isData ? QStringLiteral("{\"type\":\"0\"}") : QString(""));
            insert.exec();
        }
        db.commit();
    }
    state.counters["rows"] = double(f.all.size());
}

void BM_ModelOpen(benchmark::State& state)
{
    Fixture& f = fixture();
    f.prepareSave();
    f.model->save();
    int loaded = 0;
    for (auto _ : state) {
        // A fresh model, as a project opens it: throwing away the comments of the previous
        // iteration is no part of opening.
        state.PauseTiming();
        auto fresh = std::make_unique<SoftComponentModel>("SoftComponentModel", f.project.get());
        state.ResumeTiming();
        if (!fresh->open())
            state.SkipWithError("open failed");
        state.PauseTiming();
        loaded = 0;
        for (const QString& letter : SoftComponentModel::letters())
            loaded += fresh->getSoftCommentInfos(letter).size();
        fresh.reset();
        state.ResumeTiming();
    }
    if (loaded != Comments)
        state.SkipWithError("open did not read every comment");
    state.counters["rows"] = loaded;
}

void BM_RawSelectBaseline(benchmark::State& state)
{
    QSqlDatabase db = fixture().project->db();
    for (auto _ : state) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.exec("SELECT Id, Name, OrderNum, Snapshot, Comments, BitComments, Properties FROM SoftwareComponentTable");
        int rows = 0;
        while (query.next()) {
            for (int i = 0; i < 7; ++i)
                benchmark::DoNotOptimize(query.value(i));
            ++rows;
        }
        benchmark::DoNotOptimize(rows);
    }
}

BENCHMARK(BM_ModelSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RawInsertBaseline)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ModelOpen)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RawSelectBaseline)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runInHost(argc, argv);
}
