// The background save of the POUs' display order: handed to the host's worker, applied on the
// worker's thread once the project is free, and written without the POUs' other edits.
#include "ModelTestSupport.h"

#include "datamodel/model/DataHandleWorkInstance.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "host/BackgroundWorker.h"
#include "host/DefaultApplication.h"
#include "host/api/IBackgroundTransaction.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using testsupport::ModelTest;
using Work = DataHandleWorkInstance;

namespace {

// What the worker reported, taken on its thread. Standard mutexes rather than Qt's: the
// thread sanitizer sees their happens-before edges, so reading the POUs after wait() is not
// reported as a race with the worker's writes.
struct Report
{
    std::mutex mutex;
    std::condition_variable signalled;
    int pending = 0; // reports not yet waited for
    QThread* thread = nullptr;
    bool found = false;
    QMap<int, int> outcomes;

    void take(bool projectFound, const QMap<int, int>& result)
    {
        std::lock_guard<std::mutex> lock(mutex);
        thread = QThread::currentThread();
        found = projectFound;
        outcomes = result;
        ++pending;
        signalled.notify_all();
    }
    // Whether a report came within `ms` milliseconds (one report per call).
    bool wait(int ms)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!signalled.wait_for(lock, std::chrono::milliseconds(ms), [this] { return pending > 0; }))
            return false;
        --pending;
        return true;
    }
};

class BackgroundSave : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        auto created = createProject(name);
        ASSERT_TRUE(created);
        project = created.get();
        ASSERT_EQ(ProjectModelManager::instance()->addProjectModel(name, created.get()), ProjectModelManager::Success);
        created.release(); // the registry owns it now
        pous = project->subModel<PouModel>();
        connection = QObject::connect(
            &Work::getInstance(), &Work::dataSaved, &Work::getInstance(),
            [this](const QString&, bool found, const QMap<int, int>& outcomes) { report.take(found, outcomes); },
            Qt::DirectConnection);
    }
    void TearDown() override
    {
        QObject::disconnect(connection);
        ProjectModelManager::instance()->removeProjectModel(name);
        ASSERT_TRUE(ProjectModelManager::instance()->waitForRemovals(10000));
    }
    PouModel::PouUnit* addPou(const std::string& pouName)
    {
        auto* pou = pous->addPou(pouName, PouModel::PRGPOU, PouModel::POU_ST, 0);
        pou->setVarDeclaration("PROGRAM " + pouName + "\nVAR\nEND_VAR\n");
        return pou;
    }
    QString storedRow(unsigned int id) const
    {
        const QString json = rows(databaseFile(name), QStringLiteral("SELECT Properties FROM POU WHERE Id = %1").arg(id)).value(0);
        return QJsonDocument::fromJson(json.toUtf8()).object().value("Row").toString();
    }

    const std::string name = "Ordered";
    AbstractProjectModel* project = nullptr;
    PouModel* pous = nullptr;
    QMetaObject::Connection connection;
    Report report;
};

TEST_F(BackgroundSave, WorkerAppliesTheRowsWhenTheProjectIsFree)
{
    auto* a = addPou("A");
    auto* b = addPou("B");
    auto* c = addPou("C");
    ASSERT_TRUE(project->save());
    c->setProperty("Row", "9");
    ASSERT_TRUE(project->save());
    auto* d = addPou("D"); // never saved

    // This thread holds the project: the worker has to wait for it.
    AbstractProjectModel* held = ProjectModelManager::instance()->projectModel(name, false);
    ASSERT_EQ(held, project);
    // B has an edit the user has not saved: it must not reach the file behind their back.
    b->setVarDeclaration("PROGRAM B\nVAR\n    half typed\n");
    ASSERT_TRUE(Work::getInstance().timeConsumDataSave(
        name, {{int(a->id()), 5}, {int(b->id()), 2}, {int(c->id()), -1}, {int(d->id()), 4}, {4711, 1}}, Work::PouDisplayOrder));
    std::atomic<bool> waiterGotIt{false};
    std::thread waiter([&] {
        SafeProjectModel safe(name, false); // waits behind this thread and the worker
        waiterGotIt = safe.project() != nullptr;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(report.wait(0)) << "the worker must wait while the project is held";
    EXPECT_EQ(a->property("Row"), "");
    ProjectModelManager::instance()->releaseProjectModel(name);

    ASSERT_TRUE(report.wait(10000));
    waiter.join();
    EXPECT_TRUE(waiterGotIt);
    EXPECT_NE(report.thread, QThread::currentThread()) << "run() executes on the worker's thread";
    EXPECT_TRUE(report.found);
    EXPECT_EQ(report.outcomes, (QMap<int, int>{{int(a->id()), Work::RowStored}, {int(b->id()), Work::RowStored},
                                               {int(c->id()), Work::RowSkipped}, {int(d->id()), Work::RowPending},
                                               {4711, Work::NoPou}}));
    EXPECT_EQ(storedRow(a->id()), "5");
    EXPECT_EQ(storedRow(b->id()), "2");
    EXPECT_EQ(storedRow(c->id()), "9") << "a row of -1 leaves the POU alone";
    EXPECT_EQ(a->property("Row"), "5");
    EXPECT_FALSE(a->isModified()) << "nothing else was pending for A";
    EXPECT_TRUE(b->isModified()) << "B's unsaved declaration stays pending";
    EXPECT_EQ(rows(databaseFile(name), QStringLiteral("SELECT VarDeclaration FROM POU WHERE Id = %1").arg(b->id())),
              QStringList{"PROGRAM B\nVAR\nEND_VAR\n"});
    EXPECT_EQ(d->property("Row"), "4");
    EXPECT_TRUE(d->isModified());
    ASSERT_TRUE(project->save());
    EXPECT_EQ(storedRow(d->id()), "4") << "a never saved POU takes its row with the next save";
}

TEST_F(BackgroundSave, UnregisteredProjectAndMissingService)
{
    ASSERT_TRUE(Work::getInstance().timeConsumDataSave("NotOpen", {{1, 1}}, Work::PouDisplayOrder));
    ASSERT_TRUE(report.wait(10000));
    EXPECT_FALSE(report.found);
    EXPECT_TRUE(report.outcomes.isEmpty());

    auto& host = testsupport::defaultHost();
    host.removeService(host::IBackgroundTransaction::ServiceName);
    EXPECT_FALSE(Work::getInstance().timeConsumDataSave(name, {{1, 1}}, Work::PouDisplayOrder));
    host.setService(host::IBackgroundTransaction::ServiceName, std::make_unique<host::BackgroundWorker>());
    EXPECT_FALSE(report.wait(200)) << "no transaction was made";
}

} // namespace
