#include "socket/posix/windows.h"

#include <cerrno>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

using namespace winsock;

namespace {

constexpr std::uint16_t FirstAtom = 0xC000;
constexpr std::uint16_t LastAtom = 0xFFFF;

// Class names do not depend on case.
std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

} // namespace

PosixWindows::PosixWindows() {
    m_signal = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_signal < 0) {
        throw std::system_error(errno, std::generic_category(), "socket layer message queue");
    }
}

PosixWindows::~PosixWindows() {
    ::close(m_signal);
}

std::uint16_t PosixWindows::RegisterClassA(const WndClass& wndClass) {
    if (wndClass.lpszClassName.empty() || !wndClass.lpfnWndProc) {
        return 0;
    }
    const auto [entry, added] = m_classes.try_emplace(LowerAscii(wndClass.lpszClassName));
    if (!added) {
        return 0;
    }
    entry->second = std::make_shared<const WNDPROC>(wndClass.lpfnWndProc);
    const std::uint16_t atom = m_nextAtom;
    m_nextAtom = m_nextAtom == LastAtom ? FirstAtom : static_cast<std::uint16_t>(m_nextAtom + 1);
    return atom;
}

int PosixWindows::UnregisterClassA(const std::string& className) {
    const std::string key = LowerAscii(className);
    if (!m_classes.contains(key)) {
        return 0;
    }
    for (const auto& [hWnd, window] : m_windows) {
        if (window.classKey == key) {
            return 0;
        }
    }
    m_classes.erase(key);
    return 1;
}

HWND PosixWindows::CreateWindowExA(const std::string& className) {
    std::string key = LowerAscii(className);
    const auto wc = m_classes.find(key);
    if (wc == m_classes.end()) {
        return 0;
    }
    const HWND hWnd = m_nextWindow++;
    m_windows.emplace(hWnd, Window{std::move(key), wc->second});
    return hWnd;
}

int PosixWindows::DestroyWindow(HWND hWnd) {
    if (m_windows.erase(hWnd) == 0) {
        return 0;
    }
    m_queue.RemoveWindow(hWnd);
    SyncSignal();
    return 1;
}

bool PosixWindows::Post(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (!Exists(hWnd)) {
        return false;
    }
    m_queue.Push(hWnd, uMsg, wParam, lParam);
    SyncSignal();
    return true;
}

void PosixWindows::ForgetSocket(SOCKET s) {
    m_queue.RemoveSocket(s);
    SyncSignal();
}

std::size_t PosixWindows::Deliver() {
    // A procedure that throws leaves the rest of the queue for the next pump, which the signal
    // descriptor must then still announce.
    struct SignalSync {
        PosixWindows& windows;
        ~SignalSync() { windows.SyncSignal(); }
    } signalSync{*this};
    const std::uint64_t before = m_queue.NextSequence();
    std::size_t delivered = 0;
    PosixMessageQueue::Message message;
    while (m_queue.PopBefore(before, message)) {
        const auto window = m_windows.find(message.hWnd);
        if (window == m_windows.end()) {
            continue;
        }
        // The procedure may destroy its window while it runs.
        const Procedure procedure = window->second.procedure;
        (*procedure)(message.hWnd, message.uMsg, message.wParam, message.lParam);
        ++delivered;
    }
    return delivered;
}

void PosixWindows::SyncSignal() {
    if (m_queue.Empty() && m_signaled) {
        std::uint64_t count = 0;
        if (::read(m_signal, &count, sizeof count) == sizeof count || errno == EAGAIN) {
            m_signaled = false;
        }
    } else if (!m_queue.Empty() && !m_signaled) {
        const std::uint64_t one = 1;
        if (::write(m_signal, &one, sizeof one) == sizeof one) {
            m_signaled = true;
        }
    }
}
