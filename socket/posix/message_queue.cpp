#include "socket/posix/message_queue.h"

#include <utility>

void PosixMessageQueue::Push(winsock::HWND hWnd, winsock::UINT uMsg, winsock::WPARAM wParam,
                             winsock::LPARAM lParam) {
    if (m_count == m_ring.size()) {
        std::vector<Message> larger(m_ring.size() * 2);
        for (std::size_t i = 0; i < m_count; ++i) {
            larger[i] = At(i);
        }
        m_ring = std::move(larger);
        m_head = 0;
    }
    At(m_count) = Message{hWnd, uMsg, wParam, lParam, m_nextSequence++};
    ++m_count;
}

bool PosixMessageQueue::PopBefore(std::uint64_t before, Message& message) {
    if (m_count == 0 || At(0).sequence >= before) {
        return false;
    }
    message = At(0);
    m_head = (m_head + 1) & (m_ring.size() - 1);
    --m_count;
    return true;
}

template <typename Predicate> void PosixMessageQueue::RemoveIf(Predicate drop) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_count; ++i) {
        if (!drop(At(i))) {
            At(kept++) = At(i);
        }
    }
    m_count = kept;
}

void PosixMessageQueue::RemoveWindow(winsock::HWND hWnd) {
    RemoveIf([hWnd](const Message& m) { return m.hWnd == hWnd; });
}

void PosixMessageQueue::RemoveSocket(winsock::WPARAM socket) {
    RemoveIf([socket](const Message& m) { return m.wParam == socket; });
}
