#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A first-in first-out queue of bytes whose unread bytes are always contiguous. Appending at the
// back and dropping or taking from the front cost amortised constant time per byte: bytes are
// moved only when the space in front of them is at least as large as they are, when the store
// grows, or when a take hands the store over and no more bytes stay than are taken.
class ByteQueue {
public:
    const std::uint8_t* Data() const { return m_store.data() + m_head; }
    std::size_t Size() const { return m_tail - m_head; }
    bool Empty() const { return m_head == m_tail; }

    void Append(const std::uint8_t* bytes, std::size_t count);
    // Room for count more bytes at the back; Commit says how many of them were filled.
    std::uint8_t* Reserve(std::size_t count);
    void Commit(std::size_t count) { m_tail += count; }
    void Drop(std::size_t count);
    // Replaces out's contents with the first count bytes and drops them from the queue. When the
    // bytes lie at the start of the store and at least as many are taken as stay, the store itself
    // becomes out's and out's former storage takes the bytes that stay.
    void Take(std::vector<std::uint8_t>& out, std::size_t count);
    // Empties the queue and gives its storage back.
    void Clear();

private:
    // Its size covers every byte filled or reserved so far, so that reserving the same room again
    // writes nothing; its capacity is the room the queue fills before it grows. A store handed in
    // by Take keeps the size its taker left.
    std::vector<std::uint8_t> m_store;
    std::size_t m_head = 0;
    std::size_t m_tail = 0;
};
