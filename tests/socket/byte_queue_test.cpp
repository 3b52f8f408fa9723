#include "socket/byte_queue.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

namespace {

// Random appends, direct fills, drops and takes of all sizes against a plain deque: the bytes stay
// in order across every growth, every move to the front and every hand-over of the store. The
// taker keeps using its buffer as callers do (writes over it, grows it, passes it in again), which
// must never reach the bytes still queued.
TEST(ByteQueue, KeepsTheOrderOfBytesThroughGrowthMovesAndTakes) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> size(0, 5000);
    ByteQueue queue;
    std::deque<std::uint8_t> expected;
    std::vector<std::uint8_t> taken(size(random), 0xEE);
    std::uint8_t next = 0;
    for (int step = 0; step < 6000; ++step) {
        const std::size_t count = size(random);
        switch (random() % 4) {
        case 0: {
            std::vector<std::uint8_t> bytes(count);
            for (auto& byte : bytes) {
                byte = next++;
            }
            queue.Append(bytes.data(), bytes.size());
            expected.insert(expected.end(), bytes.begin(), bytes.end());
            break;
        }
        case 1: {
            std::uint8_t* space = queue.Reserve(count);
            const std::size_t filled = count / 2;
            for (std::size_t i = 0; i < filled; ++i) {
                space[i] = next;
                expected.push_back(next++);
            }
            queue.Commit(filled);
            break;
        }
        case 2: {
            const std::size_t dropped = std::min(count, expected.size());
            queue.Drop(dropped);
            expected.erase(expected.begin(), expected.begin() + static_cast<long>(dropped));
            break;
        }
        default: {
            // Whole takes, and takes of more or less than what stays, are all common.
            const std::size_t wanted = random() % 2 == 0 ? expected.size() : count;
            const std::size_t n = std::min(wanted, expected.size());
            queue.Take(taken, n);
            ASSERT_EQ(taken.size(), n) << "step " << step;
            ASSERT_TRUE(std::equal(taken.begin(), taken.end(), expected.begin()))
                << "step " << step;
            expected.erase(expected.begin(), expected.begin() + static_cast<long>(n));
            std::fill(taken.begin(), taken.end(), 0xEE);
            taken.resize(taken.size() + size(random) % 64, 0xEE);
        }
        }
        ASSERT_EQ(queue.Size(), expected.size()) << "step " << step;
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), queue.Data())) << "step " << step;
    }
    queue.Clear();
    EXPECT_TRUE(queue.Empty());
}

} // namespace
