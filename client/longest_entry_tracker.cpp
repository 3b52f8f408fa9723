#include "client/longest_entry_tracker.h"

void LongestEntryTracker::Add(std::size_t length) {
    // An equal earlier entry stays: it wins the tie while it is in the window, and the new one
    // takes over when it leaves.
    while (!m_candidates.empty() && m_candidates.back().Length < length) {
        m_candidates.pop_back();
    }
    m_candidates.push_back({m_next, length});
    ++m_next;
}

void LongestEntryTracker::RemoveOldest() {
    if (Count() == 0) {
        return;
    }
    if (m_candidates.front().Sequence == m_oldest) {
        m_candidates.pop_front();
    }
    ++m_oldest;
}

std::size_t LongestEntryTracker::LongestIndex() const {
    return static_cast<std::size_t>(m_candidates.front().Sequence - m_oldest);
}

std::size_t LongestEntryTracker::LongestLength() const {
    return m_candidates.front().Length;
}

std::uint64_t LongestEntryTracker::LongestSequence() const {
    return m_candidates.front().Sequence;
}
