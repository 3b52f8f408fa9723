#include "tests/win32/window_fixture.h"

#include "client/win32/clipboard_text.h"
#include "client/win32/wide_text.h"

namespace {

const std::string NotConnected = "エラー：接続されていません。";

// A stream of posted messages, as a socket's notifications during a flood: each one posts the
// next, and notes its number and whether the input line shows a typed "x" by then. The key is
// pressed while the stream runs.
struct Stream {
    static constexpr UINT Message = WM_APP + 7;
    static constexpr WPARAM Length = 150;
    static constexpr WPARAM KeyPressed = 10;
    HWND input = nullptr;
    std::vector<WPARAM> order;
    WPARAM firstWithKey = Length;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != Message) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        auto* stream = reinterpret_cast<Stream*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        stream->order.push_back(wParam);
        if (stream->firstWithKey == Length && WindowText::Get(stream->input) == "x") {
            stream->firstWithKey = wParam;
        }
        if (wParam == KeyPressed) {
            INPUT keys[2] = {};
            for (INPUT& key : keys) {
                key.type = INPUT_KEYBOARD;
                key.ki.wVk = 'X';
            }
            keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
            SendInput(2, keys, sizeof(INPUT));
        }
        Sleep(4);
        if (wParam + 1 < Length) {
            PostMessageW(window, Message, wParam + 1, 0);
        }
        return 0;
    }
};

class Win32MainWindowInput : public Win32WindowFixture {
protected:
    void FocusSendMsg() {
        SetFocus(Control("Txt_SendMsg"));
        Turn();
    }
    void SetText(const char* name, const wchar_t* text) {
        SendMessageW(Control(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    // The key pressed in the control while Ctrl is held.
    void PressWithControl(const char* name, WPARAM key) {
        SetFocus(Control(name));
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        PressKey(key);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
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

TEST_F(Win32MainWindowInput, CtrlCAndCtrlInsertCopyTheSelectedLogEntryAsUnicodeText) {
    window.Form().AddLog("ログの行 ①");
    window.Form().AddLog("second");
    Turn();
    SendMessageW(Control("Lst_Msg"), LB_SETCURSEL, 0, 0);
    for (const WPARAM key : {WPARAM('C'), WPARAM(VK_INSERT)}) {
        ClipboardText::Set(window.Handle(), L"before");
        PressWithControl("Lst_Msg", key);
        EXPECT_EQ(ClipboardText::Get(window.Handle()), WideText::FromUtf8(Entries()[0]));
        EXPECT_EQ(Entries()[0].substr(9), "ログの行 ①");
    }
}

TEST_F(Win32MainWindowInput, CtrlASelectsAllOfABoxsText) {
    for (const char* name : {"Txt_Host", "Txt_SendMsg"}) {
        SetText(name, L"日本語 text");
        SendMessageW(Control(name), EM_SETSEL, 2, 2);
        PressWithControl(name, 'A');
        DWORD start = 0;
        DWORD end = 0;
        SendMessageW(Control(name), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u) << name;
        EXPECT_EQ(end, 8u) << name;
        EXPECT_EQ(WindowText::Get(Control(name)), "日本語 text") << name;
    }
}

TEST_F(Win32MainWindowInput, PastedLinesStayWholeInTheInputLineAndEnterRefusesThem) {
    ClipboardText::Set(window.Handle(), L"一行目\r\n二行目");
    SetText("Txt_SendMsg", L">");
    SendMessageW(Control("Txt_SendMsg"), EM_SETSEL, 1, 1);
    PressWithControl("Txt_SendMsg", 'V');
    EXPECT_EQ(WindowText::Get(Control("Txt_SendMsg")), ">一行目\r\n二行目");
    PressKey(VK_RETURN);
    EXPECT_EQ(Newest(), "エラー：改行を含む行は送信できません。");
    EXPECT_EQ(WindowText::Get(Control("Txt_SendMsg")), ">一行目\r\n二行目");
}

TEST_F(Win32MainWindowInput, KeyTypedDuringAStreamOfPostedMessagesShowsBeforeTheStreamEnds) {
    WNDCLASSW streamClass{};
    streamClass.lpfnWndProc = &Stream::Procedure;
    streamClass.hInstance = GetModuleHandleW(nullptr);
    streamClass.lpszClassName = L"HoshiwaTestStream";
    RegisterClassW(&streamClass);
    HWND sink = CreateWindowExW(0, streamClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, streamClass.hInstance, nullptr);
    Stream stream;
    stream.input = Control("Txt_SendMsg");
    SetWindowLongPtrW(sink, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&stream));
    SetForegroundWindow(window.Handle());
    FocusSendMsg();

    PostMessageW(sink, Stream::Message, 0, 0);
    Turn();
    DestroyWindow(sink);

    ASSERT_EQ(stream.order.size(), Stream::Length);
    for (WPARAM index = 0; index < Stream::Length; ++index) {
        EXPECT_EQ(stream.order[index], index) << "the posted messages keep their order";
    }
    EXPECT_LT(stream.firstWithKey, Stream::Length / 2) << "the key waited for the stream";
}

} // namespace
