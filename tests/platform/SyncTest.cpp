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

TEST(ThreadTest, RefusesANullEntry) {
    EXPECT_EQ(AfxBeginThread(nullptr, nullptr), nullptr);
}

}  // namespace
