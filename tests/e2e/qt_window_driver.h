#pragma once

#include "client/qt/main_window.h"
#include "client/qt/pump_notifier.h"
#include "socket/posix/platform.h"
#include "socket/tcp_sock_proc.h"
#include "tests/e2e/window_driver.h"

#include <memory>

class QLineEdit;
class QPushButton;

// The program's own window, shown on Qt's offscreen platform, over the real socket layer: clicks
// and keys go through Qt's event delivery, and the socket layer's pump runs from Qt's event loop
// as in the program.
class QtWindowDriver final : public WindowDriver {
public:
    QtWindowDriver();
    ~QtWindowDriver() override;

    void SetText(std::string_view box, const std::string& text) override;
    void Type(std::string_view box, const std::string& text) override;
    std::string Text(std::string_view box) const override;
    void Click(std::string_view button) override;
    bool Visible(std::string_view button) const override;
    void PressEnter() override;
    std::vector<std::string> Entries() const override;
    void Turn(std::chrono::milliseconds atMost) override;

private:
    QLineEdit& Box(std::string_view name) const;
    QPushButton& Button(std::string_view name) const;

    PosixPlatform m_platform;
    TCPSockProc m_proc;
    PumpNotifier m_pump;
    // Closed before the socket layer beneath it goes away.
    std::unique_ptr<MainWindow> m_window;
};
