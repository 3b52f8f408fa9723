#pragma once

#include "socket/platform.h"
#include "socket/posix/message_queue.h"
#include "socket/posix/notification_sink.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

// The window classes and windows of the POSIX layer: a window is a receiver that owns a procedure,
// fed from one FIFO queue of posted messages. The queue's signal descriptor is readable exactly
// while messages wait.
class PosixWindows final : public PosixNotificationSink {
public:
    PosixWindows();
    ~PosixWindows() override;
    PosixWindows(const PosixWindows&) = delete;
    PosixWindows& operator=(const PosixWindows&) = delete;

    int SignalDescriptor() const { return m_signal; }
    bool Empty() const { return m_queue.Empty(); }

    std::uint16_t RegisterClassA(const winsock::WndClass& wndClass);
    int UnregisterClassA(const std::string& className);
    winsock::HWND CreateWindowExA(const std::string& className);
    int DestroyWindow(winsock::HWND hWnd);
    bool Exists(winsock::HWND hWnd) const { return m_windows.contains(hWnd); }

    bool Post(winsock::HWND hWnd, winsock::UINT uMsg, winsock::WPARAM wParam,
              winsock::LPARAM lParam) override;
    void ForgetSocket(winsock::SOCKET s) override;
    // Delivers the messages that were queued when it started, one at a time, each removed from
    // the queue before its procedure runs (a nested Deliver never sees it again). Returns how
    // many it delivered.
    std::size_t Deliver();

private:
    using Procedure = std::shared_ptr<const winsock::WNDPROC>;
    struct Window {
        std::string classKey;
        Procedure procedure;
    };

    // Makes the signal descriptor readable exactly while the queue holds messages.
    void SyncSignal();

    int m_signal = -1;
    bool m_signaled = false;
    std::unordered_map<std::string, Procedure> m_classes; // by lower-case name
    std::unordered_map<winsock::HWND, Window> m_windows;
    winsock::HWND m_nextWindow = 1;
    std::uint16_t m_nextAtom = 0xC000;
    PosixMessageQueue m_queue;
};
