#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// Window classes, hidden windows and the thread's message loop for the Windows platform layer,
// with plain types (see sockets.h). Every class registered here has one window procedure: it
// hands the messages of the notification range to the receiver, and leaves all others to the
// system's default processing.
class WinWindows {
public:
    // WM_APP up to 0xBFFF, the numbers no system message uses.
    static constexpr unsigned FirstNotification = 0x8000;
    static constexpr unsigned NotificationCount = 0x4000;

    using Receiver = std::function<void(void* window, unsigned message, std::uintptr_t wParam,
                                        std::intptr_t lParam)>;

    explicit WinWindows(Receiver receiver) : m_receiver(std::move(receiver)) {}
    WinWindows(const WinWindows&) = delete;
    WinWindows& operator=(const WinWindows&) = delete;

    void* Instance() const;
    // The class's atom, 0 when the system refuses (a class of that name exists).
    std::uint16_t AddClass(const std::string& name);
    bool RemoveClass(const std::string& name);
    // nullptr when the system refuses.
    void* Create(std::uint32_t exStyle, const std::string& className, const std::string& windowName,
                 std::uint32_t style, int x, int y, int width, int height, std::intptr_t menu,
                 std::intptr_t param);
    bool Destroy(void* window);
    // Puts a message in the window's queue; false when the system refuses.
    bool Post(void* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t DefaultProcedure(void* window, unsigned message, std::uintptr_t wParam,
                                   std::intptr_t lParam);

    // Runs the thread's message loop until done() holds or the timeout passes; returns done().
    // A WM_QUIT is left in the queue for the loop outside.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    Receiver m_receiver;
};
