#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/FakeClock.h"

namespace vantrel {
namespace {

std::vector<std::uint32_t> Drain(MessageQueue& queue) {
    std::vector<std::uint32_t> out;
    while (auto m = queue.TryGet()) {
        out.push_back(m->message == kTimerMessage ? 10000 + static_cast<std::uint32_t>(m->wParam)
                                                  : m->message);
    }
    return out;
}

TEST(MessageQueue, PostsComeFirstAndTimersFireEveryPeriodUntilKilled) {
    test::FakeClock clock;
    MessageQueue queue(clock);
    queue.SetTimer(7, 500);
    queue.Post({1});
    queue.Post({2});
    EXPECT_EQ(Drain(queue), (std::vector<std::uint32_t>{1, 2}));
    clock.Advance(499);
    EXPECT_TRUE(Drain(queue).empty());
    EXPECT_EQ(queue.NextTimerIn(), 1);
    clock.Advance(1);
    queue.Post({3});
    EXPECT_EQ(Drain(queue), (std::vector<std::uint32_t>{3, 10007}));
    clock.Advance(500);
    EXPECT_EQ(Drain(queue), (std::vector<std::uint32_t>{10007}));
    // Restarting a timer moves its due time; killing it ends it.
    clock.Advance(400);
    queue.SetTimer(7, 500);
    clock.Advance(400);
    EXPECT_TRUE(Drain(queue).empty());
    queue.KillTimer(7);
    clock.Advance(1000);
    EXPECT_TRUE(Drain(queue).empty());
    EXPECT_FALSE(queue.NextTimerIn());
}

TEST(MessageQueue, GetWaitsForPostsFromAnotherThreadAndEndsAfterQuit) {
    MessageQueue queue(SystemClock());
    std::thread poster([&] {
        queue.Post({42, 1, 2});
        queue.PostQuit();
    });
    auto first = queue.Get();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->message, 42u);
    EXPECT_EQ(first->lParam, 2);
    EXPECT_FALSE(queue.Get());
    poster.join();
}

}  // namespace
}  // namespace vantrel
