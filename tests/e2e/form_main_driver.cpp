#include "tests/e2e/form_main_driver.h"

#include <stdexcept>
#include <utility>

FormMainDriver::FormMainDriver() : m_proc(m_platform), m_form(m_proc, m_controls.Controls()) {
    if (!m_form.Form_Load()) {
        throw std::runtime_error("the window did not load");
    }
}

FormMainDriver::~FormMainDriver() {
    m_form.Form_Unload();
}

FakeTextBox& FormMainDriver::Box(std::string_view name) const {
    const std::pair<std::string_view, FakeTextBox*> boxes[] = {
        {"Txt_SendMsg", &m_controls.Txt_SendMsg},   {"Txt_Host", &m_controls.Txt_Host},
        {"Txt_UserID", &m_controls.Txt_UserID},     {"Txt_RealName", &m_controls.Txt_RealName},
        {"Txt_NickName", &m_controls.Txt_NickName}, {"Txt_Ch", &m_controls.Txt_Ch},
    };
    for (const auto& [boxName, box] : boxes) {
        if (boxName == name) {
            return *box;
        }
    }
    throw std::invalid_argument("no text box named " + std::string(name));
}

FakeCommandButton& FormMainDriver::Button(std::string_view name) const {
    const std::pair<std::string_view, FakeCommandButton*> buttons[] = {
        {"Cmd_Connect", &m_controls.Cmd_Connect}, {"Cmd_SetUser", &m_controls.Cmd_SetUser},
        {"Cmd_SetNick", &m_controls.Cmd_SetNick}, {"Cmd_Join", &m_controls.Cmd_Join},
        {"Cmd_Part", &m_controls.Cmd_Part},       {"Cmd_Disconnect", &m_controls.Cmd_Disconnect},
    };
    for (const auto& [buttonName, button] : buttons) {
        if (buttonName == name) {
            return *button;
        }
    }
    throw std::invalid_argument("no button named " + std::string(name));
}

void FormMainDriver::SetText(std::string_view box, const std::string& text) {
    Box(box).SetText(text);
}

std::string FormMainDriver::Text(std::string_view box) const {
    return Box(box).Text();
}

void FormMainDriver::Click(std::string_view button) {
    // A hidden button cannot be clicked.
    if (!Button(button).Visible()) {
        return;
    }
    if (button == "Cmd_Connect") {
        m_form.Cmd_Connect_Click();
    } else if (button == "Cmd_Disconnect") {
        m_form.Cmd_Disconnect_Click();
    } else if (button == "Cmd_SetUser") {
        m_form.Cmd_SetUser_Click();
    } else if (button == "Cmd_SetNick") {
        m_form.Cmd_SetNick_Click();
    } else if (button == "Cmd_Join") {
        m_form.Cmd_Join_Click();
    } else if (button == "Cmd_Part") {
        m_form.Cmd_Part_Click();
    }
}

bool FormMainDriver::Visible(std::string_view button) const {
    return Button(button).Visible();
}

void FormMainDriver::PressEnter() {
    std::int16_t key = 13;
    m_form.Txt_SendMsg_KeyPress(key);
}

std::vector<std::string> FormMainDriver::Entries() const {
    const auto& items = m_controls.Lst_Msg.Items();
    return {items.begin(), items.end()};
}

void FormMainDriver::Turn(std::chrono::milliseconds atMost) {
    m_platform.RunUntil([] { return false; }, atMost);
}
