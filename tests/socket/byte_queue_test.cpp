#include "socket/byte_queue.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

namespace {

// Random appends, direct fills and drops of all sizes against a plain deque: the bytes stay in
// order across every growth and every move to the front.
TEST(ByteQueue, KeepsTheOrderOfBytesThroughGrowthAndMoves) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> size(0, 5000);
    ByteQueue queue;
    std::deque<std::uint8_t> expected;
    std::uint8_t next = 0;
    for (int step = 0; step < 4000; ++step) {
        const std::size_t count = size(random);
        switch (random() % 3) {
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
        default: {
            const std::size_t dropped = std::min(count, expected.size());
            queue.Drop(dropped);
            expected.erase(expected.begin(), expected.begin() + static_cast<long>(dropped));
        }
        }
        ASSERT_EQ(queue.Size(), expected.size()) << "step " << step;
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), queue.Data())) << "step " << step;
    }
    queue.Clear();
    EXPECT_TRUE(queue.Empty());
}

} // namespace
