#include "tests/win32/window_fixture.h"

#include "client/win32/wide_text.h"

namespace {

const std::string NotConnected = "エラー：接続されていません。";

class Win32MainWindowInput : public Win32WindowFixture {
protected:
    void FocusSendMsg() {
        SetFocus(Control("Txt_SendMsg"));
        Turn();
    }
    void SetText(const char* name, const wchar_t* text) {
        SendMessageW(Control(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
};

TEST_F(Win32MainWindowInput, EnterInTheInputLineReachesTheWindowAndOtherKeysReachTheBox) {
    FocusSendMsg();
    SetText("Txt_SendMsg", L"こんにちは");
    SendMessageW(Control("Txt_SendMsg"), EM_SETSEL, 5, 5);
    for (const wchar_t typed : std::wstring(L" ok")) {
        PostMessageW(Control("Txt_SendMsg"), WM_CHAR, typed, 1);
    }
    Turn();
    EXPECT_EQ(WindowText::Get(Control("Txt_SendMsg")), "こんにちは ok");
    EXPECT_EQ(Entries().size(), 1u) << "no key but Enter sends";

    PressKey(VK_RETURN);
    EXPECT_EQ(Newest(), NotConnected);
    EXPECT_EQ(WindowText::Get(Control("Txt_SendMsg")), "こんにちは ok")
        << "a line that did not go out stays in the box";
}

TEST_F(Win32MainWindowInput, EnterThatAnInputMethodTakesToFinishAConversionSendsNothing) {
    FocusSendMsg();
    // The method consumes the key (VK_PROCESSKEY) and hands over the converted text.
    PressKey(VK_PROCESSKEY);
    SendMessageW(Control("Txt_SendMsg"), WM_IME_CHAR, L'漢', 1);
    SendMessageW(Control("Txt_SendMsg"), WM_IME_CHAR, L'字', 1);
    Turn();
    EXPECT_EQ(WindowText::Get(Control("Txt_SendMsg")), "漢字");
    EXPECT_EQ(Entries().size(), 1u);
    PressKey(VK_RETURN);
    EXPECT_EQ(Newest(), NotConnected);
}

TEST_F(Win32MainWindowInput, ClickedButtonsRunTheirHandlers) {
    SendMessageW(Control("Cmd_Join"), BM_CLICK, 0, 0);
    Turn();
    EXPECT_EQ(Newest(), NotConnected);
    EXPECT_TRUE(IsWindowVisible(Control("Cmd_Join"))) << "nothing went out: Join stays";
    SendMessageW(Control("Cmd_Connect"), BM_CLICK, 0, 0);
    Turn();
    platform.PumpAll();
    Turn();
    SendMessageW(Control("Cmd_Join"), BM_CLICK, 0, 0);
    Turn();
    EXPECT_FALSE(IsWindowVisible(Control("Cmd_Join")));
    EXPECT_TRUE(IsWindowVisible(Control("Cmd_Part")));
    SendMessageW(Control("Cmd_Part"), BM_CLICK, 0, 0);
    Turn();
    EXPECT_TRUE(IsWindowVisible(Control("Cmd_Join")));
    EXPECT_FALSE(IsWindowVisible(Control("Cmd_Part")));
}

TEST_F(Win32MainWindowInput, CloseBoxUnloadsTheWindowAndEndsTheLoop) {
    SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(platform.CallsTo("WSACleanup").empty());
    MSG quit{};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Win32MainWindowInput, BurstOfEntriesScrollsOnceAtTheEndOfTheTurnWithNothingSelected) {
    HWND list = Control("Lst_Msg");
    constexpr int Burst = 300;
    for (int i = 0; i < Burst; ++i) {
        window.Form().AddLog("entry " + std::to_string(i) + (i == 7 ? " 長い長い日本語の行" : ""));
    }
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0) << "scrolled before the turn ended";
    Turn();
    RECT client{};
    GetClientRect(list, &client);
    const auto rows = client.bottom / SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), Burst + 1 - rows);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);

    // The extent is the longest entry's width in the list's own font, and 16 more.
    const std::wstring longest = WideText::FromUtf8(Entries()[7] + " ");
    HDC dc = GetDC(list);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, longest.c_str(), static_cast<int>(longest.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(list, dc);
    EXPECT_EQ(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), size.cx + 16);
}

} // namespace
