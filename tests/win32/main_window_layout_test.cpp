#include "tests/win32/window_fixture.h"

#include "client/form_layout.h"
#include "client/win32/wide_text.h"

#include <cmath>
#include <utility>

namespace {

struct Placed {
    const char* name;
    const wchar_t* windowClass;
    const char* caption;
    bool visible;
};

const Placed Expected[] = {
    {"Lst_Msg", L"ListBox", "", true},
    {"Txt_SendMsg", L"Edit", "", true},
    {"Label1", L"Static", "", false},
    {"Txt_Host", L"Edit", "localhost:6667", true},
    {"Txt_UserID", L"Edit", "UserID", true},
    {"Cmd_Connect", L"Button", "Connect", true},
    {"Txt_RealName", L"Edit", "RealName", true},
    {"Cmd_SetUser", L"Button", "SetUser", true},
    {"Txt_NickName", L"Edit", "NickName", true},
    {"Cmd_SetNick", L"Button", "SetNick", true},
    {"Txt_Ch", L"Edit", "#Channel", true},
    {"Cmd_Join", L"Button", "Join", true},
    {"Cmd_Part", L"Button", "Part", false},
    {"Cmd_Disconnect", L"Button", "Disconnect", false},
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

// The screen's scale: the test prefix's LogPixels.
int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// 96-dpi pixels at the given scale.
int Scaled(LONG pixels, int dpi) {
    return MulDiv(pixels, dpi, 96);
}

// The text's width and the font's line height in the control's own font.
std::pair<LONG, LONG> TextSizeIn(HWND control, const std::wstring& text) {
    HDC dc = GetDC(control);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return {size.cx, metrics.tmHeight};
}

class Win32MainWindowLayout : public Win32WindowFixture {
protected:
    void ExpectClientArea(int dpi) {
        RECT client{};
        GetClientRect(window.Handle(), &client);
        EXPECT_EQ(client.right - client.left, Scaled(482, dpi));
        EXPECT_EQ(client.bottom - client.top, Scaled(300, dpi));
    }
    // Each control at its place in the layout, in twips at 1440 an inch.
    void ExpectPlaces(int dpi) {
        auto pixels = [dpi](int twips) { return std::lround(twips * dpi / 1440.0); };
        for (const ControlSpec& control : FormLayout::Controls) {
            SCOPED_TRACE(control.Name);
            RECT place{};
            GetWindowRect(Control(std::string(control.Name).c_str()), &place);
            MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&place), 2);
            EXPECT_EQ(place.left, pixels(control.Left));
            EXPECT_EQ(place.top, pixels(control.Top));
            // The label sizes itself to its caption; only its corner is laid out.
            if (control.Name != "Label1") {
                EXPECT_EQ(place.right - place.left, pixels(control.Width));
                EXPECT_EQ(place.bottom - place.top, pixels(control.Height));
            }
        }
    }
    // Every caption, box text and log line, measured in its control's own font, fits the room
    // the control draws it in.
    void ExpectTextsFit(int dpi) {
        for (const Placed& expected : Expected) {
            SCOPED_TRACE(expected.name);
            HWND control = Control(expected.name);
            const auto [width, height] =
                TextSizeIn(control, WideText::FromUtf8(WindowText::Get(control)));
            RECT room{};
            GetClientRect(control, &room);
            const std::wstring kind(expected.windowClass);
            if (kind == L"Edit") {
                SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
            } else if (kind == L"Button") {
                // A push button's raised edge.
                InflateRect(&room, -Scaled(2, dpi), -Scaled(2, dpi));
            } else if (kind == L"ListBox") {
                room.bottom = static_cast<LONG>(SendMessageW(control, LB_GETITEMHEIGHT, 0, 0));
            } else {
                continue;
            }
            EXPECT_LE(width, room.right - room.left);
            EXPECT_LE(height, room.bottom - room.top);
        }
    }
};

TEST_F(Win32MainWindowLayout, WindowHasItsTitleAndTheLayoutsClientAreaAtTheScreensScale) {
    EXPECT_EQ(WindowText::Get(window.Handle()), "Hoshiwa");
    ExpectClientArea(ScreenDpi());
}

TEST_F(Win32MainWindowLayout, EveryCaptionAndBoxTextFitsItsControlAtTheScreensScale) {
    ExpectTextsFit(ScreenDpi());
}

TEST_F(Win32MainWindowLayout, MovedToAScreenOfAnotherScaleTheWindowIsLaidOutAndMeasuredAgain) {
    window.Form().AddLog("長い長い日本語の行を測る");
    Turn();
    const int dpi = ScreenDpi() * 2;
    RECT suggested{40, 30, 40 + Scaled(500, dpi), 30 + Scaled(340, dpi)};
    SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    Turn();
    RECT frame{};
    GetWindowRect(window.Handle(), &frame);
    EXPECT_EQ(frame.left, 40);
    EXPECT_EQ(frame.top, 30);
    ExpectPlaces(dpi);
    ExpectTextsFit(dpi);
    EXPECT_EQ(FontOf(Control("Txt_Host")).lfHeight, -MulDiv(39, dpi, 4 * 72));

    // The log's extent is its longest entry in the new font, and 16 more.
    HWND list = Control("Lst_Msg");
    EXPECT_EQ(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0),
              TextSizeIn(list, WideText::FromUtf8(Entries()[0] + " ")).first + 16);
}

TEST_F(Win32MainWindowLayout, ControlsStandInTheirPlacesWithTheirCaptions) {
    ExpectPlaces(ScreenDpi());
    for (const Placed& expected : Expected) {
        SCOPED_TRACE(expected.name);
        HWND control = Control(expected.name);
        wchar_t windowClass[32] = {};
        GetClassNameW(control, windowClass, 32);
        EXPECT_EQ(lstrcmpiW(windowClass, expected.windowClass), 0);
        if (std::string(expected.name) != "Lst_Msg") {
            EXPECT_EQ(WindowText::Get(control), expected.caption);
        }
        EXPECT_EQ(IsWindowVisible(control) != FALSE, expected.visible);
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{" "});
    EXPECT_FALSE(IsWindowEnabled(Control("Label1"))) << "the label takes no input";
}

TEST_F(Win32MainWindowLayout, TextBoxesUseTheJapaneseGothicFontAtItsPointSize) {
    const int dpi = ScreenDpi();
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
