#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

// Finds the longest of a window of entries that grows at its new end and shrinks at its old end,
// in amortised constant time per entry. Of equal lengths the earlier entry counts as the longest,
// as a scan from the oldest entry that keeps only greater lengths would find.
class LongestEntryTracker {
public:
    void Add(std::size_t length);
    // Forgets the oldest entry; nothing happens when there is none.
    void RemoveOldest();

    std::size_t Count() const { return static_cast<std::size_t>(m_next - m_oldest); }
    // The longest entry's position counted from the oldest entry. Requires Count() > 0.
    std::size_t LongestIndex() const;
    std::size_t LongestLength() const;
    // Names the longest entry for as long as it stays in the window.
    std::uint64_t LongestSequence() const;

private:
    struct Candidate {
        std::uint64_t Sequence;
        std::size_t Length;
    };
    // Entries that no later entry exceeds, oldest first; their lengths never increase.
    std::deque<Candidate> m_candidates;
    std::uint64_t m_oldest = 0; // sequence number of the oldest entry
    std::uint64_t m_next = 0;   // sequence number the next entry gets
};
