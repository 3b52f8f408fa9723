#include "tests/client/form_session.h"

#include <stdexcept>

FormSession::FormSession() {
    Form = std::make_unique<Form_Main>(Proc, Ctl.Controls());
    if (!Form->Form_Load()) {
        throw std::runtime_error("the window does not load on the fake socket layer");
    }
}

winsock::SOCKET FormSession::Connect(const std::string& hostText) {
    Ctl.Txt_Host.SetText(hostText);
    Form->Cmd_Connect_Click();
    Platform.PumpAll();
    return Platform.LastSocket();
}

void FormSession::Receive(winsock::SOCKET s, const std::string& bytes) {
    Platform.Arrive(s, bytes);
    Platform.PumpAll();
}

void FormSession::PressEnter(const std::string& text) {
    Ctl.Txt_SendMsg.SetText(text);
    std::int16_t key = 13;
    Form->Txt_SendMsg_KeyPress(key);
    Platform.PumpAll();
}

std::vector<std::string> FormSession::LogFrom(std::size_t from) const {
    const auto all = Log();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end()};
}

std::string FormSession::VisibleButtons() const {
    const std::pair<const char*, const FakeCommandButton*> buttons[] = {
        {"Connect", &Ctl.Cmd_Connect}, {"Disconnect", &Ctl.Cmd_Disconnect},
        {"Join", &Ctl.Cmd_Join},       {"Part", &Ctl.Cmd_Part},
        {"SetUser", &Ctl.Cmd_SetUser}, {"SetNick", &Ctl.Cmd_SetNick},
    };
    std::string visible;
    for (const auto& [name, button] : buttons) {
        if (button->Visible()) {
            visible += visible.empty() ? "" : " ";
            visible += name;
        }
    }
    return visible;
}

std::string Sjis(std::initializer_list<int> bytes) {
    std::string s;
    for (const int b : bytes) {
        s += static_cast<char>(b);
    }
    return s;
}
