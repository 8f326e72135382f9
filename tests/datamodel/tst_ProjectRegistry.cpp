// The registry of open projects under real threads and a second process.
#include "ModelTestSupport.h"

#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/ProjectModelManager.h"

#include <QDir>
#include <QProcess>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using testsupport::ModelTest;
using namespace std::chrono_literals;

namespace {

class ProjectRegistry : public ModelTest
{
protected:
    // A project model that is never opened: the registry only needs its folder.
    AbstractProjectModel* model(const std::string& name, std::atomic<int>* deleted = nullptr)
    {
        auto* project = new PlcProjectModel(name, temp.path().toStdString() + "/" + name, std::string());
        QDir().mkpath(temp.filePath(QString::fromStdString(name)));
        if (deleted)
            QObject::connect(project, &QObject::destroyed, [deleted] { ++*deleted; });
        return project;
    }
    void TearDown() override
    {
        registry->removeAll();
        EXPECT_TRUE(registry->waitForRemovals(5000));
    }

    ProjectModelManager* registry = ProjectModelManager::instance();
};

// Holds a project on its own thread until told to give it back.
class Holder
{
public:
    Holder(const std::string& name) : m_name(name)
    {
        m_thread = std::thread([this] {
            AbstractProjectModel* model = ProjectModelManager::instance()->projectModel(m_name, false);
            m_taken.set_value(model);
            m_release.get_future().wait();
            if (model)
                ProjectModelManager::instance()->releaseProjectModel(m_name);
        });
    }
    ~Holder()
    {
        release();
        m_thread.join();
    }
    AbstractProjectModel* taken() { return m_takenFuture.get(); }
    void release()
    {
        if (!m_released) {
            m_released = true;
            m_release.set_value();
        }
    }

private:
    std::string m_name;
    std::promise<AbstractProjectModel*> m_taken;
    std::shared_future<AbstractProjectModel*> m_takenFuture = m_taken.get_future().share();
    std::promise<void> m_release;
    bool m_released = false;
    std::thread m_thread;
};

TEST_F(ProjectRegistry, namesAreUniqueAndCounted)
{
    AbstractProjectModel* first = model("A");
    ASSERT_EQ(registry->addProjectModel("A", first), ProjectModelManager::Success);
    auto* second = new PlcProjectModel("A", temp.path().toStdString() + "/A2", std::string());
    QDir().mkpath(temp.filePath("A2"));
    EXPECT_EQ(registry->addProjectModel("A", second), ProjectModelManager::NameInUse);
    delete second; // refused: the caller keeps it
    {
        SafeProjectModel safe("A");
        EXPECT_EQ(safe.project(), first) << "the first registration stays";
    }
    ASSERT_EQ(registry->addProjectModel("B", model("B")), ProjectModelManager::Success);
    EXPECT_EQ(registry->getProjectName(), "Project2");
    EXPECT_EQ(registry->projectModel("missing", false), nullptr);
}

TEST_F(ProjectRegistry, aLockHeldByAnotherProcessRefusesTheProject)
{
    AbstractProjectModel* project = model("Locked");
    QProcess holder;
    holder.start(QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR")) + "/bin/lockholder",
                 {QString::fromStdString(project->filePath()) + "/project.nvlock"});
    ASSERT_TRUE(holder.waitForStarted());
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_EQ(holder.readLine().trimmed(), "locked");

    EXPECT_EQ(registry->addProjectModel("Locked", project), ProjectModelManager::LockFailed);
    EXPECT_FALSE(registry->contains("Locked"));

    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_EQ(registry->addProjectModel("Locked", project), ProjectModelManager::Success)
        << "the lock is free once the other process let it go";
    // While registered, the lock is ours: a second process cannot take it.
    QProcess second;
    second.start(QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR")) + "/bin/lockholder",
                 {QString::fromStdString(project->filePath()) + "/project.nvlock"});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.readAllStandardOutput().trimmed(), "busy");
}

TEST_F(ProjectRegistry, tryOnlyReturnsAtOnceWhileAnotherThreadHolds)
{
    ASSERT_EQ(registry->addProjectModel("Busy", model("Busy")), ProjectModelManager::Success);
    Holder holder("Busy");
    ASSERT_NE(holder.taken(), nullptr);
    EXPECT_EQ(registry->users("Busy"), 1u);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(registry->projectModel("Busy", true), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(registry->users("Busy"), 1u) << "a refused try leaves the count as it was";

    // A blocking take waits for the holder and gets the model once it lets go.
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        if (registry->projectModel("Busy", false)) {
            got = true;
            registry->releaseProjectModel("Busy");
        }
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(got) << "the waiter must wait while the holder uses the model";
    holder.release();
    waiter.join();
    EXPECT_TRUE(got);
    EXPECT_EQ(registry->users("Busy"), 0u);
}

TEST_F(ProjectRegistry, removalWhileHeldIsDeferredToTheLastRelease)
{
    std::atomic<int> deleted{0};
    ASSERT_EQ(registry->addProjectModel("Held", model("Held", &deleted)), ProjectModelManager::Success);
    Holder holder("Held");
    ASSERT_NE(holder.taken(), nullptr);
    registry->removeProjectModel("Held");
    EXPECT_EQ(deleted, 0) << "never deleted under a thread that holds it";
    EXPECT_EQ(registry->projectModel("Held", true), nullptr) << "a removed project is not handed out";
    std::unique_ptr<AbstractProjectModel> refused(model("Held2"));
    EXPECT_EQ(registry->addProjectModel("Held", refused.get()), ProjectModelManager::NameInUse)
        << "the caller keeps a refused model";
    EXPECT_FALSE(registry->waitForRemovals(50));
    holder.release();
    EXPECT_TRUE(registry->waitForRemovals(5000));
    EXPECT_EQ(deleted, 1);
    EXPECT_FALSE(registry->contains("Held"));
}

TEST_F(ProjectRegistry, removeAllDefersModelsInUse)
{
    std::atomic<int> deleted{0};
    ASSERT_EQ(registry->addProjectModel("Free", model("Free", &deleted)), ProjectModelManager::Success);
    ASSERT_EQ(registry->addProjectModel("InUse", model("InUse", &deleted)), ProjectModelManager::Success);
    Holder holder("InUse");
    ASSERT_NE(holder.taken(), nullptr);
    registry->removeAll();
    EXPECT_EQ(deleted, 1) << "the free project goes at once";
    EXPECT_TRUE(registry->contains("InUse"));
    holder.release();
    EXPECT_TRUE(registry->waitForRemovals(5000));
    EXPECT_EQ(deleted, 2);
}

TEST_F(ProjectRegistry, reentrantTakesAndStrayReleases)
{
    ASSERT_EQ(registry->addProjectModel("Twice", model("Twice")), ProjectModelManager::Success);
    ASSERT_TRUE(registry->projectModel("Twice", false));
    ASSERT_TRUE(registry->projectModel("Twice", true)) << "the holding thread may take it again";
    EXPECT_EQ(registry->users("Twice"), 2u);

    // A release from a thread that holds nothing must not free this thread's hold.
    std::thread([&] { registry->releaseProjectModel("Twice"); }).join();
    EXPECT_EQ(registry->users("Twice"), 2u);
    std::thread([&] { EXPECT_EQ(registry->projectModel("Twice", true), nullptr); }).join();

    registry->releaseProjectModel("Twice");
    std::thread([&] { EXPECT_EQ(registry->projectModel("Twice", true), nullptr); }).join();
    registry->releaseProjectModel("Twice");
    std::thread([&] {
        SafeProjectModel safe("Twice", true);
        EXPECT_NE(safe.project(), nullptr) << "free after both releases";
    }).join();
}

TEST_F(ProjectRegistry, oneThreadAtATimeUnderLoad)
{
    ASSERT_EQ(registry->addProjectModel("Shared", model("Shared")), ProjectModelManager::Success);
    std::atomic<int> inside{0}, overlaps{0}, uses{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                SafeProjectModel safe("Shared", (i + t) % 3 == 0);
                if (!safe.project())
                    continue;
                if (++inside > 1)
                    ++overlaps;
                ++uses;
                std::this_thread::yield();
                --inside;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(overlaps, 0);
    EXPECT_GT(uses, 800);
    EXPECT_EQ(registry->users("Shared"), 0u);
}

} // namespace
