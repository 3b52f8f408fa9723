#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A first-in first-out queue of bytes whose unread bytes are always contiguous. Appending at the
// back and dropping from the front cost amortised constant time per byte: bytes are moved only
// when the space in front of them is at least as large as they are, or when the store grows.
class ByteQueue {
public:
    const std::uint8_t* Data() const { return m_store.get() + m_head; }
    std::size_t Size() const { return m_tail - m_head; }
    bool Empty() const { return m_head == m_tail; }

    void Append(const std::uint8_t* bytes, std::size_t count);
    // Room for count more bytes at the back; Commit says how many of them were filled.
    std::uint8_t* Reserve(std::size_t count);
    void Commit(std::size_t count) { m_tail += count; }
    void Drop(std::size_t count);
    void Clear();

private:
    std::unique_ptr<std::uint8_t[]> m_store;
    std::size_t m_capacity = 0;
    std::size_t m_head = 0;
    std::size_t m_tail = 0;
};
