#pragma once

#include "client/form_host.h"

class QWidget;

// Message boxes over the main window, the end of the program and the local time of day.
class QtFormHost final : public FormHost {
public:
    explicit QtFormHost(QWidget& window) : m_window(window) {}

    void MsgBox(const std::string& text) override;
    // Leaves the event loop when it runs; before it runs, the caller returns from main itself.
    void End() override;
    TimeOfDay Now() const override;
    void AtEndOfTurn(std::function<void()> work) override;

private:
    QWidget& m_window;
};
