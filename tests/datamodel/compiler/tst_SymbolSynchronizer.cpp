// The symbol synchroniser with its real thread: the queue rules, the road of one edit from the
// model to the core's diagnostics, the lock order, and a stress run.
#include "ModelTestSupport.h"

#include "datamodel/compiler/SymbolSynchrinizer.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "host/CookieStore.h"
#include "host/DefaultApplication.h"
#include "host/TransferState.h"

#include "accore/AccoreManager.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using testsupport::ModelTest;

namespace {

const char* const project = "SyncLine";

// Receives syncComplied on the test's thread, as a view of the IDE does: queued, in order.
class Completions : public QObject
{
public:
    explicit Completions(SymbolSynchrinizer* sync)
    {
        connect(sync, &SymbolSynchrinizer::syncComplied, this,
                [this](SyncType type, std::string name) { received.emplace_back(type, name); }, Qt::QueuedConnection);
    }
    int count() const { return static_cast<int>(received.size()); }
    std::vector<std::pair<SyncType, std::string>> received;
};

class Synchroniser : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        model = createProject(project).release();
        ASSERT_EQ(ProjectModelManager::instance()->addProjectModel(project, model), ProjectModelManager::Success);
        sync->bindProject(project);
        sync->setSyncStatue(false);
        testsupport::defaultHost().cookies()->setValue("IDE/ActionState", "idle");
        pous = model->subModel<PouModel>();
    }
    void TearDown() override
    {
        sync->quit();
        sync->wait();
        sync->clearSyncQueue();
        ProjectModelManager::instance()->removeProjectModel(project);
    }

    PouModel::PouUnit* addProgram(const std::string& name, const std::string& declaration)
    {
        SafeProjectModel hold(project);
        PouModel::PouUnit* pou = pous->addPou(name, PouModel::PRGPOU, PouModel::POU_ST, 0);
        pou->setVarDeclaration(declaration);
        return pou;
    }
    std::vector<ac::ACMessage> declarationErrors(const std::string& name)
    {
        SafeProjectModel hold(project);
        PouModel::PouUnit* pou = pous->pou(QString::fromStdString(name));
        return pou ? pou->getVarDeclarationErr() : std::vector<ac::ACMessage>();
    }
    // Waits, letting queued signals arrive, until `done` or `ms` passed.
    static bool waitFor(const std::function<bool()>& done, int ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    SymbolSynchrinizer* sync = SymbolSynchrinizer::instance();
    AbstractPlcProjectModel* model = nullptr; // owned by the registry
    PouModel* pous = nullptr;
};

TEST_F(Synchroniser, theRoadOfOneEdit)
{
    addProgram("Main", "PROGRAM Main\nVAR\n    speed : INT;\n    motor : NO_SUCH_TYPE;\nEND_VAR\n");
    Completions completed(sync);
    sync->start();
    ASSERT_TRUE(sync->addToSyncQueue(SyncPouDeclaration, "Main"));
    ASSERT_TRUE(waitFor([&] { return completed.count() >= 1; }, 2000)) << "synced within two seconds";
    EXPECT_EQ(completed.count(), 1);
    EXPECT_EQ(completed.received[0].first, SyncPouDeclaration);
    EXPECT_EQ(completed.received[0].second, "Main");
    std::vector<ac::ACMessage> errors = declarationErrors("Main");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].line(), 4);
    EXPECT_EQ(errors[0].severity(), ac::ACMessage::Error);
    EXPECT_NE(errors[0].message().find("NO_SUCH_TYPE"), std::string::npos) << errors[0].message();

    {
        SafeProjectModel hold(project);
        pous->pou(QStringLiteral("Main"))->setVarDeclaration("PROGRAM Main\nVAR\n    speed : INT;\n    motor : BOOL;\nEND_VAR\n");
        sync->addToSyncQueue(SyncPouDeclaration, "Main");
    }
    ASSERT_TRUE(waitFor([&] { return completed.count() >= 2; }, 3000));
    EXPECT_TRUE(declarationErrors("Main").empty());
    EXPECT_TRUE(sync->isSync("Main"));
}

TEST_F(Synchroniser, queueRules)
{
    addProgram("Dup", "PROGRAM Dup\nVAR\nEND_VAR\n");
    const int permits = sync->permits(); // wake-ups left over by earlier tests
    sync->addToSyncQueue(SyncPouDeclaration, "Dup");
    sync->addToSyncQueue(SyncPouDeclaration, "Dup");
    EXPECT_EQ(sync->queueSize(), 1u);
    EXPECT_EQ(sync->permits(), permits + 1);
    sync->addToSyncQueue(SyncPouLogic, "Dup");
    EXPECT_EQ(sync->queueSize(), 2u) << "another kind of sync of the same object is its own entry";
    sync->clearSyncQueue();

    // An object synced 400 ms ago waits until a second has passed since that sync.
    {
        SafeProjectModel hold(project);
        pous->pou(QStringLiteral("Dup"))->setSyncVarDecTime(QDateTime::currentMSecsSinceEpoch() - 400);
    }
    sync->addToSyncQueue(SyncPouDeclaration, "Dup");
    SyncData entry;
    EXPECT_FALSE(sync->getDataFromSyncQueue(entry));
    EXPECT_EQ(sync->queueSize(), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_TRUE(sync->getDataFromSyncQueue(entry));
    EXPECT_EQ(entry.name, "Dup");
    EXPECT_EQ(sync->queueSize(), 0u);

    // Entries of objects that are gone vanish on the next take.
    PouModel::PouUnit* gone = addProgram("Gone", "PROGRAM Gone\nVAR\nEND_VAR\n");
    sync->addToSyncQueue(SyncPouDeclaration, "Gone");
    {
        SafeProjectModel hold(project);
        pous->removePou(gone);
    }
    EXPECT_FALSE(sync->getDataFromSyncQueue(entry));
    EXPECT_EQ(sync->queueSize(), 0u);
}

TEST_F(Synchroniser, busyStatesDropOrCompleteEntriesWithoutParsing)
{
    addProgram("Busy", "PROGRAM Busy\nVAR\n  x : NO_TYPE;\nEND_VAR\n");
    Completions completed(sync);
    sync->start();

    testsupport::defaultHost().cookies()->setValue("IDE/ActionState", "compiling");
    sync->addToSyncQueue(SyncPouDeclaration, "Busy");
    EXPECT_TRUE(waitFor([&] { return sync->queueSize() == 0; }, 3000));
    waitFor([] { return false; }, 200);
    EXPECT_EQ(completed.count(), 0);
    EXPECT_TRUE(declarationErrors("Busy").empty()) << "a dropped entry is not parsed";

    testsupport::defaultHost().cookies()->setValue("IDE/ActionState", "idle");
    testsupport::defaultHost().transfer()->setBusy(true);
    sync->addToSyncQueue(SyncPouDeclaration, "Busy");
    EXPECT_TRUE(waitFor([&] { return sync->queueSize() == 0; }, 3000));
    testsupport::defaultHost().transfer()->setBusy(false);
    EXPECT_EQ(completed.count(), 0) << "no sync while the IDE talks to a controller";
    EXPECT_TRUE(declarationErrors("Busy").empty());

    sync->setSyncStatue(true);
    sync->addToSyncQueue(SyncPouDeclaration, "Busy");
    EXPECT_TRUE(waitFor([&] { return sync->queueSize() == 0; }, 3000));
    waitFor([] { return false; }, 200);
    EXPECT_EQ(completed.count(), 0) << "skipped syncs complete without a signal";
    EXPECT_TRUE(declarationErrors("Busy").empty());

    // A project without a core refuses syncs: the entry goes, the thread does not spin on it.
    sync->setSyncStatue(false);
    ac::AccoreManager::instance()->removeAccore(project);
    sync->addToSyncQueue(SyncPouDeclaration, "Busy");
    EXPECT_TRUE(waitFor([&] { return sync->queueSize() == 0; }, 3000));
    EXPECT_EQ(completed.count(), 0);
}

TEST_F(Synchroniser, aHolderOfTheProjectCanAlwaysQueue)
{
    // The GUI thread holds the project and queues while the synchroniser thread is taking an
    // entry. Taking the project under the queue mutex deadlocks here; a watchdog turns a hang
    // into a failure.
    addProgram("Held", "PROGRAM Held\nVAR\nEND_VAR\n");
    std::atomic<bool> finished{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !finished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!finished) {
            std::fputs("deadlock: queueing while holding the project never returned\n", stderr);
            std::fflush(stderr);
            std::_Exit(1);
        }
    });
    {
        SafeProjectModel hold(project);
        sync->start();
        sync->addToSyncQueue(SyncPouDeclaration, "Held");
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the thread now waits for the project
        for (int i = 0; i < 10; ++i)
            sync->addToSyncQueue(SyncPouLogic, "Held" + std::to_string(i));
    }
    finished = true;
    watchdog.join();
}

TEST_F(Synchroniser, namesAndFileNames)
{
    PouModel::PouUnit* ladder = nullptr;
    {
        SafeProjectModel hold(project);
        pous->addPou("Filler0", PouModel::FBPOU, PouModel::POU_ST, 0); // after the hidden DevicePOU
        ladder = pous->addPou("Ladder", PouModel::PRGPOU, PouModel::POU_LD_JAPAN, 0);
        model->subModel<DataTypeModel>()->addDataUnit("MotorData", DataTypeModel::Struct, 0);
        model->subModel<GlobalVarModel>()->addVarTable("Plant", 0);
    }
    ASSERT_EQ(ladder->id(), 3u);
    QString view;
    EXPECT_EQ(sync->pouName2FileName("Ladder", view), QStringLiteral("SyncLine.Programing.pou.lad3"));
    EXPECT_EQ(view, "lad");
    EXPECT_EQ(sync->pouName2FileName("motordata", view).left(39), QStringLiteral("SyncLine.Programing.Data Type.DataTypeV"));
    EXPECT_EQ(view, "DataTypeView");
    EXPECT_TRUE(sync->pouName2FileName("nothing", view).isEmpty());
    EXPECT_EQ(sync->getProgramTypeByName("LADDER"), SymbolSynchrinizer::LadderPou);
    EXPECT_EQ(sync->getProgramTypeByName("Filler0"), SymbolSynchrinizer::StPou);
    EXPECT_EQ(sync->getProgramTypeByName("plant"), SymbolSynchrinizer::GlobalVarList);
    EXPECT_EQ(sync->getProgramTypeByName("MotorData"), SymbolSynchrinizer::DataTypeUnit);
    EXPECT_EQ(sync->getProgramTypeByName("nothing"), SymbolSynchrinizer::NotFound);
    EXPECT_TRUE(sync->isPRGPou("ladder"));
    EXPECT_FALSE(sync->isPRGPou("Filler0"));

    EXPECT_EQ(sync->getIdByName("Filler0"), 2);
    EXPECT_EQ(sync->getIdByName("nothing"), -1);
    EXPECT_EQ(sync->pouName2PouUID("nothing"), 0xFFFFFFFFu);
    EXPECT_EQ(sync->pouName2PouUID("Ladder"), (3u << 16) | unsigned(model->getFileID()));
    EXPECT_EQ(sync->pouUID2PouName((3u << 16) | unsigned(model->getFileID())), "Ladder");

    // Function block instance inst1 of a POU with id 7.
    {
        SafeProjectModel hold(project);
        for (int i = 0; i < 4; ++i)
            pous->addPou("More" + std::to_string(i), PouModel::FBPOU, PouModel::POU_ST, 0);
    }
    ASSERT_EQ(sync->getPouIdByName("More3"), 7);
    EXPECT_EQ(sync->fbInstance2FileName("inst1", "More3", view), QStringLiteral("FB.SyncLine.inst1_7"));
    EXPECT_EQ(view, "st");

    EXPECT_TRUE(sync->insertSymbolIndexAndPouUUID(40, (3u << 16) | unsigned(model->getFileID())));
    EXPECT_FALSE(sync->insertSymbolIndexAndPouUUID(40, 1));
    EXPECT_EQ(sync->symIndex2PouId(40), 3u);
    EXPECT_EQ(sync->pouId2SymIndex(3), 40u);
    EXPECT_EQ(sync->pouId2SymIndex(4), 0u);
    EXPECT_TRUE(sync->removeSymbolIndex(40));
    EXPECT_EQ(sync->symIndex2PouUID(40), 0u);
}

TEST_F(Synchroniser, parametersChangeTheCoresSymbolAndAreAnnounced)
{
    {
        SafeProjectModel hold(project);
        model->subModel<GlobalVarModel>()->addVarTable("Plant", 0)->setVarDeclaration("VAR_GLOBAL\n    lamp : BOOL;\nEND_VAR\n");
    }
    addProgram("Main", "PROGRAM Main\nVAR\nEND_VAR\n");
    ASSERT_TRUE(sync->syncStep(SyncGlobalVars, "Plant"));
    ASSERT_TRUE(sync->syncStep(SyncPouDeclaration, "Main"));
    std::vector<std::string> updates;
    QObject receiver;
    QObject::connect(sync, &SymbolSynchrinizer::paramUpdate, &receiver,
                     [&](SyncType, std::string object, std::string variable) { updates.push_back(object + "." + variable); });
    EXPECT_TRUE(sync->addParam(SyncGlobalVars, "Plant", "speed", "INT", 1));
    EXPECT_FALSE(sync->addParam(SyncGlobalVars, "Plant", "speed", "INT", 1)) << "a name taken already";
    EXPECT_FALSE(sync->addParam(SyncGlobalVars, "Plant", "gear", "NO_SUCH_TYPE", 1));
    EXPECT_TRUE(sync->addParam(SyncPouDeclaration, "Main", "axis", "AXIS_REF", 2));
    EXPECT_FALSE(sync->addParam(SyncDataType, "Plant", "x", "INT", 1)) << "only POUs and lists take parameters";
    EXPECT_FALSE(sync->addParam(SyncGlobalVars, "Nowhere", "x", "INT", 1));
    EXPECT_TRUE(sync->removeParam(SyncGlobalVars, "Plant", "lamp"));
    EXPECT_FALSE(sync->removeParam(SyncGlobalVars, "Plant", "lamp"));
    EXPECT_EQ(updates, (std::vector<std::string>{"Plant.speed", "Main.axis", "Plant.lamp"}));
}

TEST_F(Synchroniser, frontEndEditsAgainstTheRunningThread)
{
    for (int i = 0; i < 8; ++i)
        addProgram("Stress" + std::to_string(i), "PROGRAM S\nVAR\nEND_VAR\n");
    Completions completed(sync);
    sync->start();
    std::atomic<bool> stop{false};
    std::thread queuer([&] {
        for (int i = 0; !stop; ++i) {
            sync->addToSyncQueue(SyncType(i % 2), "Stress" + std::to_string(i % 8));
            sync->isSync("Stress" + std::to_string(i % 8));
        }
    });
    QElapsedTimer timer;
    timer.start();
    int edits = 0;
    while (timer.elapsed() < 10000) {
        {
            SafeProjectModel hold(project);
            PouModel::PouUnit* pou = pous->pou(QString("Stress%1").arg(edits % 8));
            pou->setVarDeclaration("PROGRAM Stress\nVAR\n  v" + std::to_string(edits) + " : INT;\nEND_VAR\n");
            pou->setLogicContext("v" + std::to_string(edits) + " := v" + std::to_string(edits) + " + 1;");
            sync->syncModelSymbol(pou->logicContext(), SyncPouLogic, pou->name());
        }
        ++edits;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2)); // a front end edits, then paints
    }
    stop = true;
    queuer.join();
    EXPECT_GT(edits, 100);
    sync->quit();
    EXPECT_TRUE(sync->wait(5000)) << "the thread stops promptly";
    EXPECT_GE(completed.count(), 3) << "syncs went on under the load";
}

} // namespace
