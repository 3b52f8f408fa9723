#include "tests/win32/window_fixture.h"

#include "client/win32/wide_text.h"

namespace {

struct Placed {
    const char* name;
    const wchar_t* windowClass;
    RECT pixels; // left, top, right, bottom: the layout's twips at 15 a pixel
    const char* caption;
    bool visible;
};

const Placed Expected[] = {
    {"Lst_Msg", L"ListBox", {0, 0, 481, 218}, "", true},
    {"Txt_SendMsg", L"Edit", {0, 219, 481, 238}, "", true},
    {"Label1", L"Static", {0, 0, -1, 1}, "", false},
    {"Txt_Host", L"Edit", {200, 240, 382, 259}, "localhost:6667", true},
    {"Txt_UserID", L"Edit", {200, 260, 261, 279}, "UserID", true},
    {"Cmd_Connect", L"Button", {384, 240, 481, 259}, "Connect", true},
    {"Txt_RealName", L"Edit", {262, 260, 418, 279}, "RealName", true},
    {"Cmd_SetUser", L"Button", {420, 260, 481, 279}, "SetUser", true},
    {"Txt_NickName", L"Edit", {200, 280, 269, 299}, "NickName", true},
    {"Cmd_SetNick", L"Button", {271, 280, 332, 299}, "SetNick", true},
    {"Txt_Ch", L"Edit", {336, 280, 418, 299}, "#Channel", true},
    {"Cmd_Join", L"Button", {420, 280, 481, 299}, "Join", true},
    {"Cmd_Part", L"Button", {420, 280, 481, 299}, "Part", false},
    {"Cmd_Disconnect", L"Button", {384, 240, 481, 259}, "Disconnect", false},
};

const char* const TextBoxes[] = {"Txt_SendMsg",  "Txt_Host",     "Txt_UserID",
                                 "Txt_RealName", "Txt_NickName", "Txt_Ch"};

LOGFONTW FontOf(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font;
}

// Whether the control's font draws these characters with glyphs of its own.
bool HasGlyphs(HWND control, const std::wstring& text) {
    HDC dc = GetDC(control);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    std::vector<WORD> glyphs(text.size());
    GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    for (const WORD glyph : glyphs) {
        if (glyph == 0xFFFF) {
            return false;
        }
    }
    return true;
}

using Win32MainWindowLayout = Win32WindowFixture;

TEST_F(Win32MainWindowLayout, WindowHasItsTitleAndClientArea) {
    EXPECT_EQ(WindowText::Get(window.Handle()), "Hoshiwa");
    RECT client{};
    GetClientRect(window.Handle(), &client);
    EXPECT_EQ(client.right - client.left, 482);
    EXPECT_EQ(client.bottom - client.top, 300);
}

TEST_F(Win32MainWindowLayout, ControlsStandInTheirPlacesWithTheirCaptions) {
    for (const Placed& expected : Expected) {
        SCOPED_TRACE(expected.name);
        HWND control = Control(expected.name);
        wchar_t windowClass[32] = {};
        GetClassNameW(control, windowClass, 32);
        EXPECT_EQ(lstrcmpiW(windowClass, expected.windowClass), 0);
        RECT place{};
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, expected.pixels.left);
        EXPECT_EQ(place.top, expected.pixels.top);
        // The label sizes itself to its caption; only its corner is laid out.
        if (expected.pixels.right >= 0) {
            EXPECT_EQ(place.right, expected.pixels.right);
            EXPECT_EQ(place.bottom, expected.pixels.bottom);
        }
        if (std::string(expected.name) != "Lst_Msg") {
            EXPECT_EQ(WindowText::Get(control), expected.caption);
        }
        EXPECT_EQ(IsWindowVisible(control) != FALSE, expected.visible);
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{" "});
    EXPECT_FALSE(IsWindowEnabled(Control("Label1"))) << "the label takes no input";
}

TEST_F(Win32MainWindowLayout, TextBoxesUseTheJapaneseGothicFontAtItsPointSize) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (const char* name : TextBoxes) {
        SCOPED_TRACE(name);
        const LOGFONTW font = FontOf(Control(name));
        EXPECT_EQ(WideText::ToUtf8(font.lfFaceName), "ＭＳ Ｐゴシック");
        EXPECT_EQ(font.lfHeight, -MulDiv(39, dpi, 4 * 72));
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
        EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
        EXPECT_TRUE(HasGlyphs(Control(name), L"日本語のテキスト"));
    }
}

TEST_F(Win32MainWindowLayout, LogAndItsLabelShareOneFontThatDrawsJapanese) {
    const LOGFONTW list = FontOf(Control("Lst_Msg"));
    const LOGFONTW label = FontOf(Control("Label1"));
    EXPECT_EQ(std::wstring(label.lfFaceName), std::wstring(list.lfFaceName));
    EXPECT_EQ(label.lfHeight, list.lfHeight);
    EXPECT_EQ(label.lfWeight, list.lfWeight);
    EXPECT_EQ(label.lfItalic, list.lfItalic);
    EXPECT_TRUE(HasGlyphs(Control("Lst_Msg"), L"日本語のテキスト"));
}

TEST_F(Win32MainWindowLayout, TabAndShiftTabFollowTheTabIndexPastHiddenButtons) {
    const std::vector<std::string> order = {
        "Lst_Msg",     "Txt_SendMsg",  "Txt_Host",    "Txt_UserID", "Cmd_Connect", "Txt_RealName",
        "Cmd_SetUser", "Txt_NickName", "Cmd_SetNick", "Txt_Ch",     "Cmd_Join"};
    auto focused = [this] {
        for (const Placed& control : Expected) {
            if (window.Control(control.name) == GetFocus()) {
                return std::string(control.name);
            }
        }
        return std::string("(none)");
    };
    ASSERT_EQ(focused(), order.front());
    std::vector<std::string> forward;
    for (std::size_t step = 0; step < order.size(); ++step) {
        PressKey(VK_TAB);
        forward.push_back(focused());
    }
    std::vector<std::string> expected(order.begin() + 1, order.end());
    expected.push_back(order.front());
    EXPECT_EQ(forward, expected);

    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    PressKey(VK_TAB);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(focused(), order.back());
}

} // namespace
