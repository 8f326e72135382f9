// A device tree of 4000 nodes: reading it, saving every node, and saving after one removal,
// each against the raw statements on the same connection as the baseline.
#include "datamodel/device/DefaultDeviceNodes.h"
#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/device/DeviceTreeNode.h"
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

namespace {

constexpr int Nodes = 4000;

// One project with a flat tree of 4000 nodes, made once for the whole run.
struct Fixture
{
    Fixture()
    {
        const std::string file = dir.filePath("Bench.nvp").toStdString();
        project = std::make_unique<PlcProjectModel>("Bench", dir.path().toStdString(), file);
        if (!project->create({{"fileName", "Bench"}, {"filePath", file}, {"projectType", "Project"},
                              {"programStyle", "IECStyle"}, {"deviceType", "VX7_1616MT"}})) {
            std::fprintf(stderr, "creating the bench project failed\n");
            std::exit(1);
        }
        tree = project->subModel<DeviceTreeModel>();
        while (tree->getNodeCount() < Nodes)
            tree->addNode(tree->getRootNode(), "SerialInterfaceNode", QStringLiteral("P%1").arg(tree->getNodeCount()));
        if (!tree->save()) {
            std::fprintf(stderr, "saving the bench tree failed\n");
            std::exit(1);
        }
    }

    QTemporaryDir dir;
    std::unique_ptr<PlcProjectModel> project;
    DeviceTreeModel* tree = nullptr;
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_TreeOpen(benchmark::State& state)
{
    DeviceTreeModel* tree = fixture().tree;
    for (auto _ : state)
        benchmark::DoNotOptimize(tree->open());
    state.counters["nodes"] = tree->getNodeCount();
}

void BM_RawSelectBaseline(benchmark::State& state)
{
    QSqlDatabase db = fixture().project->db();
    for (auto _ : state) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.exec("SELECT ID, TYPEID, NAME, PARENTID, PROPERTIES FROM DEVICETREE");
        int rows = 0;
        while (query.next())
            rows += query.value(2).toString().size() > 0;
        benchmark::DoNotOptimize(rows);
    }
}

void BM_TreeSaveEveryNode(benchmark::State& state)
{
    DeviceTreeModel* tree = fixture().tree;
    std::vector<DeviceTreeNode*> nodes;
    for (DeviceTreeNode* node : tree->getRootNode()->getChildNodes())
        nodes.push_back(node);
    for (auto _ : state) {
        state.PauseTiming();
        for (DeviceTreeNode* node : nodes)
            node->setModified(true);
        state.ResumeTiming();
        benchmark::DoNotOptimize(tree->save());
    }
}

void BM_RawUpdateBaseline(benchmark::State& state)
{
    QSqlDatabase db = fixture().project->db();
    std::vector<int> ids;
    for (DeviceTreeNode* node : fixture().tree->getRootNode()->getChildNodes())
        ids.push_back(static_cast<int>(node->getID()));
    QSqlQuery update(db);
    update.prepare("UPDATE DEVICETREE SET TYPEID=?, NAME=?, PARENTID=?, PROPERTIES=?, COMPILEDATA=? WHERE ID=?");
    for (auto _ : state) {
        db.transaction();
        for (int id : ids) {
            update.addBindValue("SerialInterfaceNode");
            update.addBindValue(QStringLiteral("P%1").arg(id));
            update.addBindValue(1);
            update.addBindValue(QStringLiteral("{\"NodeIndex\":\"%1\"}").arg(id));
            update.addBindValue("");
            update.addBindValue(id);
            update.exec();
        }
        db.commit();
    }
}

void BM_TreeSaveAfterOneRemoval(benchmark::State& state)
{
    DeviceTreeModel* tree = fixture().tree;
    DeviceTreeNode* root = tree->getRootNode();
    for (auto _ : state) {
        state.PauseTiming();
        DeviceTreeNode* last = root->getChildNodes().back();
        const QString name = last->getName();
        root->removeChild(last, true);
        state.ResumeTiming();
        benchmark::DoNotOptimize(tree->save());
        state.PauseTiming();
        tree->addNode(root, "SerialInterfaceNode", name);
        tree->save();
        state.ResumeTiming();
    }
}

// The same work by hand: one row deleted and committed.
void BM_RawDeleteBaseline(benchmark::State& state)
{
    QSqlDatabase db = fixture().project->db();
    for (auto _ : state) {
        state.PauseTiming();
        QSqlQuery insert(db);
        insert.exec(QStringLiteral("INSERT INTO DEVICETREE (ID, TYPEID, NAME, PARENTID, PROPERTIES) "
                                   "VALUES (%1, 'SerialInterfaceNode', 'Spare', 1, '{}')").arg(Nodes + 1));
        state.ResumeTiming();
        db.transaction();
        QSqlQuery query(db);
        query.exec(QStringLiteral("DELETE FROM DEVICETREE WHERE ID IN (%1)").arg(Nodes + 1));
        db.commit();
    }
}

BENCHMARK(BM_TreeOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSelectBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreeSaveEveryNode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawUpdateBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreeSaveAfterOneRemoval)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawDeleteBaseline)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runInHost(argc, argv);
}
