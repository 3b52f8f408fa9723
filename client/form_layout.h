#pragma once

#include <array>
#include <string_view>

// The main window's layout, from which the front end builds its widgets. Places are in twips
// (1/1440 inch) from the top-left corner of the client area.
enum class ControlKind { ListBox, TextBox, Label, CommandButton };

struct ControlSpec {
    std::string_view Name;
    ControlKind Kind;
    std::string_view Caption; // caption or initial text
    int Left;
    int Top;
    int Width;
    int Height;
    bool Visible;
    int TabIndex;
};

struct FormLayout {
    static constexpr std::string_view Title = "Hoshiwa";
    static constexpr int ClientWidth = 7230;
    static constexpr int ClientHeight = 4500;
    // A twip is 1/1440 inch: 15 twips a pixel at the standard 96 dots per inch.
    static constexpr int TwipsPerInch = 1440;
    static constexpr int StandardDpi = 96;
    // The text boxes' font, with its fallbacks where it is missing.
    static constexpr std::string_view TextBoxFontName = "ＭＳ Ｐゴシック";
    static constexpr double TextBoxFontSize = 9.75;
    static constexpr std::string_view DefaultHost = "localhost:6667";

    static constexpr std::array<ControlSpec, 14> Controls{{
        {"Lst_Msg", ControlKind::ListBox, "", 0, 0, 7215, 3270, true, 0},
        {"Txt_SendMsg", ControlKind::TextBox, "", 0, 3285, 7215, 285, true, 1},
        {"Label1", ControlKind::Label, "", 0, 0, 60, 15, false, 2},
        {"Txt_Host", ControlKind::TextBox, DefaultHost, 3000, 3600, 2730, 285, true, 3},
        {"Txt_UserID", ControlKind::TextBox, "UserID", 3000, 3900, 915, 285, true, 4},
        {"Cmd_Connect", ControlKind::CommandButton, "Connect", 5760, 3600, 1455, 285, true, 5},
        {"Txt_RealName", ControlKind::TextBox, "RealName", 3930, 3900, 2340, 285, true, 6},
        {"Cmd_SetUser", ControlKind::CommandButton, "SetUser", 6300, 3900, 915, 285, true, 7},
        {"Txt_NickName", ControlKind::TextBox, "NickName", 3000, 4200, 1035, 285, true, 8},
        {"Cmd_SetNick", ControlKind::CommandButton, "SetNick", 4065, 4200, 915, 285, true, 9},
        {"Txt_Ch", ControlKind::TextBox, "#Channel", 5040, 4200, 1230, 285, true, 10},
        {"Cmd_Join", ControlKind::CommandButton, "Join", 6300, 4200, 915, 285, true, 11},
        {"Cmd_Part", ControlKind::CommandButton, "Part", 6300, 4200, 915, 285, false, 12},
        {"Cmd_Disconnect", ControlKind::CommandButton, "Disconnect", 5760, 3600, 1450, 285, false,
         13},
    }};
};
