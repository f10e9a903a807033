#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/Window.h"

namespace {

struct Recorder : IWindowHandler {
    struct Seen {
        uint32_t msg;
        WPARAM wParam;
        LPARAM lParam;
        std::thread::id thread;
    };
    std::vector<Seen> seen;
    LRESULT OnWindowMessage(HWND, uint32_t msg, WPARAM wParam, LPARAM lParam) override {
        seen.push_back({msg, wParam, lParam, std::this_thread::get_id()});
        return 7;
    }
};

// Pumps until n messages arrived or a generous deadline passes.
void PumpUntilCount(const Recorder& r, size_t n) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (r.seen.size() < n && std::chrono::steady_clock::now() < deadline) {
        WaitMessage(50);
        PumpMessages();
    }
}

TEST(WindowTest, MessagesPostedFromAnotherThreadArriveOnTheOwnersThreadInOrder) {
    Recorder r;
    HWND hwnd = CreatePlatformWindow(&r);
    std::thread poster([hwnd] {
        for (int i = 0; i < 5; ++i) PostMessage(hwnd, WM_USER + 100, WPARAM(i), 0);
    });
    poster.join();
    PumpUntilCount(r, 5);
    ASSERT_EQ(r.seen.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(r.seen[i].msg, WM_USER + 100);
        EXPECT_EQ(r.seen[i].wParam, WPARAM(i));
        EXPECT_EQ(r.seen[i].thread, std::this_thread::get_id());
    }
    DestroyPlatformWindow(hwnd);
}

TEST(WindowTest, PostReturnsBeforeDeliveryAndSendDeliversAtOnce) {
    Recorder r;
    HWND hwnd = CreatePlatformWindow(&r);
    EXPECT_TRUE(PostMessage(hwnd, WM_USER, 0, 0));
    EXPECT_TRUE(r.seen.empty());
    EXPECT_EQ(SendMessage(hwnd, WM_PAINT, 0, 0), 7);
    ASSERT_EQ(r.seen.size(), 1u);
    EXPECT_EQ(PumpMessages(), 1);
    EXPECT_EQ(r.seen.size(), 2u);
    DestroyPlatformWindow(hwnd);
}

#ifndef _WIN32  // our own queue's limit: the system's is a registry setting
TEST(WindowTest, AFullQueueRefusesPostsUntilItIsPumped) {
    Recorder r;
    HWND hwnd = CreatePlatformWindow(&r);
    for (size_t i = 0; i < kMaxPostedMessages; ++i)
        ASSERT_TRUE(PostMessage(hwnd, WM_USER, WPARAM(i), 0)) << i;
    EXPECT_FALSE(PostMessage(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(PumpMessages(), int(kMaxPostedMessages));
    EXPECT_TRUE(PostMessage(hwnd, WM_USER, 0, 0));
    PumpMessages();
    EXPECT_EQ(r.seen.size(), kMaxPostedMessages + 1);
    DestroyPlatformWindow(hwnd);
}
#endif

TEST(WindowTest, MessagesForADestroyedWindowAreDropped) {
    Recorder r;
    HWND hwnd = CreatePlatformWindow(&r);
    PostMessage(hwnd, WM_USER, 1, 0);
    DestroyPlatformWindow(hwnd);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessage(hwnd, WM_USER, 2, 0));
    PumpMessages();
    EXPECT_TRUE(r.seen.empty());
}

#ifndef _WIN32  // an event loop's hook into our own queue; Windows' loop needs none
TEST(WindowTest, PostNotifyRunsForEachPostToThisThread) {
    Recorder r;
    HWND hwnd = CreatePlatformWindow(&r);
    std::atomic<int> notified{0};
    SetPostNotify([&] { ++notified; });
    std::thread([hwnd] { PostMessage(hwnd, WM_USER, 0, 0); }).join();
    PostMessage(hwnd, WM_USER, 0, 0);
    SetPostNotify({});
    EXPECT_EQ(notified.load(), 2);
    PumpMessages();
    DestroyPlatformWindow(hwnd);
}
#endif

TEST(WindowTest, LParamPacksSignedClientPoints) {
    const LPARAM lp = MAKELPARAM(-3, 250);
    EXPECT_EQ(GET_X_LPARAM(lp), -3);
    EXPECT_EQ(GET_Y_LPARAM(lp), 250);
}

}  // namespace
