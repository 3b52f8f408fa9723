#include "client/longest_entry_tracker.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>

namespace {

// What a scan from the oldest entry finds: the first entry of the greatest length.
std::size_t ScanLongest(const std::deque<std::size_t>& lengths) {
    std::size_t best = 0;
    for (std::size_t k = 1; k < lengths.size(); ++k) {
        if (lengths[k] > lengths[best]) {
            best = k;
        }
    }
    return best;
}

std::string Describe(const std::deque<std::size_t>& lengths) {
    std::string s;
    for (const std::size_t n : lengths) {
        s += std::to_string(n) + " ";
    }
    return s;
}

TEST(LongestEntryTracker, TiesGoToTheEarlierEntryAlsoWhenTheWindowMoves) {
    struct Case {
        const char* Name;
        std::vector<std::size_t> Lengths;
        int Removed;
        std::size_t Index;
    };
    const std::vector<Case> cases = {
        {"equal lengths: the first", {5, 5, 5}, 0, 0},
        {"a later longer entry wins", {5, 3, 6}, 0, 2},
        {"the earlier tie leaves, the later takes over", {5, 3, 5}, 1, 1},
        {"the longest leaves, the next longest follows", {9, 4, 7, 7, 2}, 1, 1},
        {"only shorter entries remain", {9, 4, 3}, 1, 0},
    };
    for (const auto& c : cases) {
        LongestEntryTracker tracker;
        for (const std::size_t length : c.Lengths) {
            tracker.Add(length);
        }
        for (int i = 0; i < c.Removed; ++i) {
            tracker.RemoveOldest();
        }
        EXPECT_EQ(tracker.LongestIndex(), c.Index) << c.Name;
        EXPECT_EQ(tracker.LongestLength(), c.Lengths[c.Removed + c.Index]) << c.Name;
    }
}

TEST(LongestEntryTracker, AgreesWithAFullScanOfAMovingWindow) {
    std::mt19937 random(7);
    LongestEntryTracker tracker;
    std::deque<std::size_t> window;
    for (int step = 0; step < 20000; ++step) {
        if (window.size() > 40 || (!window.empty() && random() % 3 == 0)) {
            tracker.RemoveOldest();
            window.pop_front();
        } else {
            const std::size_t length = random() % 6;
            tracker.Add(length);
            window.push_back(length);
        }
        ASSERT_EQ(tracker.Count(), window.size());
        if (!window.empty()) {
            ASSERT_EQ(tracker.LongestIndex(), ScanLongest(window)) << Describe(window);
        }
    }
}

} // namespace
