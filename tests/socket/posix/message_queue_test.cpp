#include "socket/posix/message_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<winsock::WPARAM> Drain(PosixMessageQueue& queue, std::uint64_t before) {
    std::vector<winsock::WPARAM> taken;
    PosixMessageQueue::Message m;
    while (queue.PopBefore(before, m)) {
        taken.push_back(m.wParam);
    }
    return taken;
}

// Order must survive the ring wrapping around, growing while wrapped, and removals in between.
TEST(PosixMessageQueue, KeepsOrderAcrossWrapGrowthAndRemoval) {
    PosixMessageQueue queue;
    std::vector<winsock::WPARAM> expected;
    for (int i = 0; i < 60; ++i) {
        queue.Push(1, 1024, i, 0);
    }
    const std::vector<winsock::WPARAM> first = Drain(queue, queue.NextSequence() - 10);
    ASSERT_EQ(first.size(), 50u);
    for (int i = 50; i < 60; ++i) {
        expected.push_back(i);
    }
    // Wraps past the end of the first ring, then grows it while wrapped.
    for (int i = 60; i < 300; ++i) {
        queue.Push(i % 3 == 0 ? 2 : 1, 1024, i, 0);
        expected.push_back(i);
    }
    queue.RemoveSocket(100);
    queue.RemoveWindow(2);
    std::erase_if(expected, [](winsock::WPARAM w) { return w == 100 || (w >= 60 && w % 3 == 0); });
    EXPECT_EQ(queue.Size(), expected.size());
    EXPECT_EQ(Drain(queue, queue.NextSequence()), expected);
    EXPECT_TRUE(queue.Empty());
}

TEST(PosixMessageQueue, PopBeforeLeavesLaterMessages) {
    PosixMessageQueue queue;
    queue.Push(1, 1024, 7, 0);
    const std::uint64_t before = queue.NextSequence();
    queue.Push(1, 1024, 8, 0);
    EXPECT_EQ(Drain(queue, before), std::vector<winsock::WPARAM>{7});
    EXPECT_EQ(queue.Size(), 1u);
}

} // namespace
