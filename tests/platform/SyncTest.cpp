#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/Sync.h"
#include "platform/Thread.h"

namespace {

TEST(EventTest, StartsNotSignalled) {
    CEvent event;
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(EventTest, PollConsumesThePendingSignal) {
    CEvent event;
    event.SetEvent();
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(EventTest, SeveralSetsBeforeAWaitCountAsOne) {
    CEvent event;
    event.SetEvent();
    event.SetEvent();
    event.SetEvent();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(EventTest, WaitWithoutTimeoutBlocksUntilAnotherThreadSets) {
    CEvent event;
    CEvent started;
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        started.SetEvent();
        event.Wait(INFINITE);
        returned = true;
    });
    ASSERT_EQ(started.Wait(10000), WAIT_OBJECT_0);
    EXPECT_FALSE(returned.load());
    event.SetEvent();
    waiter.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);  // the waiter consumed it
}

TEST(EventTest, TimedWaitGivesUpWithoutSignal) {
    CEvent event;
    EXPECT_EQ(event.Wait(20), WAIT_TIMEOUT);
}

// Counts what a CSingleLock asks of the object it guards.
struct CCountingLock : CSyncObject {
    int locks = 0, unlocks = 0;
    BOOL Lock(uint32_t) override { return ++locks, TRUE; }
    BOOL Unlock() override { return ++unlocks, TRUE; }
};

TEST(SingleLockTest, ReleasesOnceHoweverItsScopeEnds) {
    CCountingLock obj;
    {
        CSingleLock lock(obj);
        lock.Unlock();  // released early: the scope's end must not release it again
        EXPECT_FALSE(lock.IsLocked());
    }
    EXPECT_EQ(obj.unlocks, 1);
    {
        CSingleLock lock(obj, false);
        EXPECT_EQ(obj.locks, 1);
        lock.Lock();
        lock.Unlock();
        lock.Lock();  // taken again, and held at the scope's end
        EXPECT_TRUE(lock.IsLocked());
    }
    EXPECT_EQ(obj.locks, 3);
    EXPECT_EQ(obj.unlocks, 3);
    try {
        CSingleLock lock(obj);
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(obj.locks, obj.unlocks);
}

TEST(CriticalSectionTest, ExcludesOtherThreads) {
    CCriticalSection lock;
    int64_t counter = 0;
    auto work = [&] {
        for (int i = 0; i < 100000; ++i) {
            CSingleLock guard(lock);
            counter = counter + 1;
        }
    };
    std::thread a(work);
    std::thread b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 200000);
}

struct ThreadProbe {
    CEvent done;
    std::atomic<int> calls{0};
    std::thread::id id;
};

uint32_t ProbeEntry(void* param) {
    auto* probe = static_cast<ThreadProbe*>(param);
    probe->id = std::this_thread::get_id();
    ++probe->calls;
    probe->done.SetEvent();
    return 0;
}

TEST(ThreadTest, RunsTheEntryOnANewThreadWithItsParameter) {
    ThreadProbe probe;
    ASSERT_NE(AfxBeginThread(ProbeEntry, &probe), nullptr);
    ASSERT_EQ(probe.done.Wait(10000), WAIT_OBJECT_0);
    EXPECT_EQ(probe.calls.load(), 1);
    EXPECT_NE(probe.id, std::this_thread::get_id());
}

struct HeldThread {
    CEvent started;
    CEvent release;
};

uint32_t HeldEntry(void* param) {
    auto* held = static_cast<HeldThread*>(param);
    held->started.SetEvent();
    held->release.Wait(INFINITE);
    return 0;
}

// The module's unload check relies on this count: a thread counts until its entry returns.
TEST(ThreadTest, CountsAThreadUntilItsEntryReturns) {
    // Threads of earlier tests count until their entries return, which may be just now: let
    // them leave before the count is read (seen failing on Windows x86 without this).
    const auto settled = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (RunningThreadCount() != 0 && std::chrono::steady_clock::now() < settled) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const int32_t before = RunningThreadCount();
    HeldThread held;
    ASSERT_NE(AfxBeginThread(HeldEntry, &held), nullptr);
    ASSERT_EQ(held.started.Wait(10000), WAIT_OBJECT_0);
    EXPECT_EQ(RunningThreadCount(), before + 1);
    held.release.SetEvent();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (RunningThreadCount() != before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(RunningThreadCount(), before);
}

TEST(ThreadTest, RefusesANullEntry) {
    EXPECT_EQ(AfxBeginThread(nullptr, nullptr), nullptr);
}

}  // namespace
