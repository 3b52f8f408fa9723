#pragma once

#include "client/form_main.h"
#include "socket/posix_platform.h"
#include "socket/tcp_sock_proc.h"
#include "tests/e2e/window_driver.h"
#include "tests/fakes/fake_controls.h"

// The window's behaviour over the real socket layer, with controls that have no widgets.
class FormMainDriver final : public WindowDriver {
public:
    FormMainDriver();
    ~FormMainDriver() override;

    void SetText(std::string_view box, const std::string& text) override;
    std::string Text(std::string_view box) const override;
    void Click(std::string_view button) override;
    bool Visible(std::string_view button) const override;
    void PressEnter() override;
    std::vector<std::string> Entries() const override;
    void Turn(std::chrono::milliseconds atMost) override;

    Form_Main& Form() { return m_form; }

private:
    FakeTextBox& Box(std::string_view name) const;
    FakeCommandButton& Button(std::string_view name) const;

    PosixPlatform m_platform;
    TCPSockProc m_proc;
    mutable FakeFormControls m_controls;
    Form_Main m_form;
};
