#pragma once

#include "socket/platform.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The FIFO of posted window messages. A ring that only grows, so posting and taking messages
// allocate nothing once the queue has seen its largest size. Every message carries a sequence
// number, so that a pump can deliver exactly those that were queued when it started.
class PosixMessageQueue {
public:
    struct Message {
        winsock::HWND hWnd = 0;
        winsock::UINT uMsg = 0;
        winsock::WPARAM wParam = 0;
        winsock::LPARAM lParam = 0;
        std::uint64_t sequence = 0;
    };

    void Push(winsock::HWND hWnd, winsock::UINT uMsg, winsock::WPARAM wParam,
              winsock::LPARAM lParam);
    // Takes the oldest message if it was queued before sequence number `before`.
    bool PopBefore(std::uint64_t before, Message& message);
    // The number the next message will carry.
    std::uint64_t NextSequence() const { return m_nextSequence; }
    // Drops every message for that window, or every message whose wParam is that socket.
    void RemoveWindow(winsock::HWND hWnd);
    void RemoveSocket(winsock::WPARAM socket);
    bool Empty() const { return m_count == 0; }
    std::size_t Size() const { return m_count; }

private:
    template <typename Predicate> void RemoveIf(Predicate drop);
    Message& At(std::size_t index) { return m_ring[(m_head + index) & (m_ring.size() - 1)]; }

    std::vector<Message> m_ring = std::vector<Message>(64); // a power of two
    std::size_t m_head = 0;
    std::size_t m_count = 0;
    std::uint64_t m_nextSequence = 0;
};
