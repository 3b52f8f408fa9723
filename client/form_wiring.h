#pragma once

#include "client/form_main.h"

#include <array>
#include <functional>
#include <string_view>
#include <utility>

// How a front end joins the controls it built from the layout table to Form_Main, by their names.
namespace FormWiring {

using TextBoxNamed = std::function<TextBox&(std::string_view)>;
using ButtonNamed = std::function<CommandButton&(std::string_view)>;

inline FormMainControls Controls(ListBox& list, Label& label, const TextBoxNamed& text,
                                 const ButtonNamed& button, FormHost& host) {
    return FormMainControls{list,
                            text("Txt_SendMsg"),
                            label,
                            text("Txt_Host"),
                            text("Txt_UserID"),
                            button("Cmd_Connect"),
                            text("Txt_RealName"),
                            button("Cmd_SetUser"),
                            text("Txt_NickName"),
                            button("Cmd_SetNick"),
                            text("Txt_Ch"),
                            button("Cmd_Join"),
                            button("Cmd_Part"),
                            button("Cmd_Disconnect"),
                            host};
}

using ClickHandler = void (Form_Main::*)();

// Each button's click handler.
inline constexpr std::array<std::pair<std::string_view, ClickHandler>, 6> Clicks{{
    {"Cmd_Connect", &Form_Main::Cmd_Connect_Click},
    {"Cmd_Disconnect", &Form_Main::Cmd_Disconnect_Click},
    {"Cmd_Join", &Form_Main::Cmd_Join_Click},
    {"Cmd_Part", &Form_Main::Cmd_Part_Click},
    {"Cmd_SetNick", &Form_Main::Cmd_SetNick_Click},
    {"Cmd_SetUser", &Form_Main::Cmd_SetUser_Click},
}};

} // namespace FormWiring
