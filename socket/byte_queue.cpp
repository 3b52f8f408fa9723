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
    if (m_store.capacity() - m_tail < count) {
        const std::size_t size = Size();
        if (m_head >= size && m_store.capacity() - size >= count) {
            // The bytes moved are no more than those dropped since the last move.
            std::memmove(m_store.data(), Data(), size);
        } else {
            std::vector<std::uint8_t> store;
            store.reserve(std::max(m_store.capacity() * 2, size + count));
            store.assign(Data(), Data() + size);
            m_store.swap(store);
        }
        m_head = 0;
        m_tail = size;
    }
    if (m_store.size() - m_tail < count) {
        m_store.resize(m_tail + count);
    }
    return m_store.data() + m_tail;
}

void ByteQueue::Drop(std::size_t count) {
    m_head += std::min(count, Size());
    if (m_head == m_tail) {
        m_head = 0;
        m_tail = 0;
    }
}

void ByteQueue::Take(std::vector<std::uint8_t>& out, std::size_t count) {
    count = std::min(count, Size());
    const std::size_t rest = Size() - count;
    // Handing over the store needs the bytes at its start, and pays off when what stays (copied
    // into out's former storage) is no more than what is taken.
    if (m_head != 0 || rest > count || count == 0) {
        out.assign(Data(), Data() + count);
        Drop(count);
        return;
    }
    out.swap(m_store);
    if (rest != 0) {
        if (m_store.size() < rest) {
            m_store.resize(rest);
        }
        std::memcpy(m_store.data(), out.data() + count, rest);
    }
    out.resize(count);
    m_head = 0;
    m_tail = rest;
}

void ByteQueue::Clear() {
    std::vector<std::uint8_t>().swap(m_store);
    m_head = 0;
    m_tail = 0;
}
