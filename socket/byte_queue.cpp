#include "socket/byte_queue.h"

#include <algorithm>
#include <cstring>

void ByteQueue::Append(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) {
        return;
    }
    std::memcpy(Reserve(count), bytes, count);
    Commit(count);
}

std::uint8_t* ByteQueue::Reserve(std::size_t count) {
    if (m_capacity - m_tail >= count) {
        return m_store.get() + m_tail;
    }
    const std::size_t size = Size();
    if (m_head >= size && m_capacity - size >= count) {
        // The bytes moved are no more than those dropped since the last move.
        std::memmove(m_store.get(), m_store.get() + m_head, size);
    } else {
        const std::size_t capacity = std::max(m_capacity * 2, size + count);
        auto store = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
        if (size != 0) {
            std::memcpy(store.get(), m_store.get() + m_head, size);
        }
        m_store = std::move(store);
        m_capacity = capacity;
    }
    m_head = 0;
    m_tail = size;
    return m_store.get() + m_tail;
}

void ByteQueue::Drop(std::size_t count) {
    m_head += std::min(count, Size());
    if (m_head == m_tail) {
        m_head = 0;
        m_tail = 0;
    }
}

void ByteQueue::Clear() {
    m_store.reset();
    m_capacity = 0;
    m_head = 0;
    m_tail = 0;
}
