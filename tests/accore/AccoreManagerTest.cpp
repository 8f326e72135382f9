// The registry of cores and scoped exclusive access from two threads.
#include "accore/ACCore.h"
#include "accore/AccoreManager.h"
#include "accore/SafeAccore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace ac;

namespace {
// A core whose destruction is observable.
std::atomic<int> g_destroyed{0};
struct CountedCore : ACCore
{
    ~CountedCore() { ++g_destroyed; }
};
} // namespace

TEST(AccoreManager, RegisterReplaceRemove)
{
    AccoreManager* manager = AccoreManager::instance();
    EXPECT_EQ(manager, AccoreManager::instance());
    EXPECT_FALSE(manager->addAccore("ProjA", nullptr));
    EXPECT_FALSE(manager->hasAccore("ProjA"));
    {
        SafeAccore none("ProjA");
        EXPECT_EQ(none.getAccore(), nullptr);
    }
    g_destroyed = 0;
    auto* first = new CountedCore; // owned by the manager from here on
    ASSERT_TRUE(manager->addAccore("ProjA", first));
    EXPECT_TRUE(manager->hasAccore("ProjA"));
    {
        SafeAccore held("ProjA");
        EXPECT_EQ(held.getAccore(), first);
        // Replaced while held: the old core lives until this holder lets it go.
        auto* second = new CountedCore;
        ASSERT_TRUE(manager->addAccore("ProjA", second));
        EXPECT_EQ(g_destroyed.load(), 0);
        held.getAccore()->setProgramStyle(1); // still usable
        SafeAccore fresh("ProjA");
        EXPECT_EQ(fresh.getAccore(), second);
    }
    EXPECT_EQ(g_destroyed.load(), 1);
    {
        SafeAccore held("ProjA");
        manager->removeAccore("ProjA");
        EXPECT_FALSE(manager->hasAccore("ProjA"));
        EXPECT_EQ(g_destroyed.load(), 1); // deferred while held
        EXPECT_NE(held.getAccore(), nullptr);
    }
    EXPECT_EQ(g_destroyed.load(), 2);
}

TEST(AccoreManager, OneThreadAtATimeAndReentrant)
{
    AccoreManager* manager = AccoreManager::instance();
    ASSERT_TRUE(manager->addAccore("ProjThreads", new ACCore));
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> parses{0};
    auto work = [&](int id) {
        for (int i = 0; i < 200; ++i) {
            SafeAccore access("ProjThreads");
            ACCore* core = access.getAccore();
            ASSERT_NE(core, nullptr);
            if (++inside != 1)
                ++overlaps;
            {
                SafeAccore again("ProjThreads"); // the same thread may take it again
                EXPECT_EQ(again.getAccore(), core);
            }
            core->reset(4);
            const std::string name = "GVL_" + std::to_string(id);
            if (core->parseGlobalVars("VAR_GLOBAL a : INT; b : ARRAY[1..4] OF TON; END_VAR", name, 0))
                ++parses;
            --inside;
        }
    };
    std::thread gui(work, 1);
    std::thread sync(work, 2);
    gui.join();
    sync.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(parses.load(), 400);

    // tryOnly does not wait for a core that another thread holds.
    std::atomic<bool> holding{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        SafeAccore access("ProjThreads");
        holding = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    while (!holding)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    {
        SafeAccore tryOnly("ProjThreads", true);
        EXPECT_EQ(tryOnly.getAccore(), nullptr);
        // The manager itself is not blocked by the busy core.
        EXPECT_TRUE(manager->hasAccore("ProjThreads"));
    }
    release = true;
    holder.join();
    SafeAccore tryOnly("ProjThreads", true);
    EXPECT_NE(tryOnly.getAccore(), nullptr);
    manager->removeAccore("ProjThreads");
}
