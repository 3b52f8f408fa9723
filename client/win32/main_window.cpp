#include "client/win32/main_window.h"

#include "client/form_layout.h"
#include "client/form_wiring.h"
#include "client/win32/key_code.h"
#include "client/win32/wide_text.h"

#include <stdexcept>

namespace {

const wchar_t* const WindowClass = L"HoshiwaMainWindow";
constexpr UINT SettleLogMessage = WM_APP + 1;
constexpr UINT EndOfTurnMessage = WM_APP + 2;
constexpr int FirstControlId = 100;
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD WindowExStyle = WS_EX_CONTROLPARENT;
// The window's own font: the face Japanese Windows gives its windows, at 9 points.
constexpr std::string_view WindowFontName = "MS UI Gothic";
constexpr double WindowFontSize = 9.0;

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

void RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = Instance();
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WindowClass;
    // A second window of the process finds the class registered already.
    RegisterClassExW(&windowClass);
}

struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::ListBox:
        return {L"LISTBOX",
                WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                WS_EX_CLIENTEDGE};
    case ControlKind::TextBox:
        return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE};
    case ControlKind::Label:
        return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::CommandButton:
        return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
    }
    return {L"STATIC", 0, 0};
}

} // namespace

Win32MainWindow::Win32MainWindow(TCPSockProc& proc)
    : m_windowFont(WindowFont()), m_textBoxFont(TextBoxFont()), m_nextId(FirstControlId) {
    RegisterWindowClass(&Win32MainWindow::WindowProc);
    RECT frame{0, 0, FormShell::Pixels(FormLayout::ClientWidth),
               FormShell::Pixels(FormLayout::ClientHeight)};
    AdjustWindowRectEx(&frame, WindowStyle, FALSE, WindowExStyle);
    const std::wstring title = WideText::FromUtf8(FormLayout::Title);
    m_window = CreateWindowExW(WindowExStyle, WindowClass, title.c_str(), WindowStyle,
                               CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                               frame.bottom - frame.top, nullptr, nullptr, Instance(), this);
    if (m_window == nullptr) {
        throw std::runtime_error("the main window could not be created");
    }
    m_host.SetOwner(m_window, EndOfTurnMessage);
    // Windows moves the focus through a window's controls in the order they were made, which is
    // the order the shell makes them in.
    m_shell = std::make_unique<FormShell>(proc, static_cast<ControlFactory&>(*this), m_host);
    for (const auto& [name, handler] : FormWiring::Clicks) {
        m_clicks.emplace(GetDlgCtrlID(Control(name)), name);
    }
    HWND sendMsg = Control("Txt_SendMsg");
    m_editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        sendMsg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32MainWindow::SendMsgProc)));
    SetWindowLongPtrW(sendMsg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32MainWindow::~Win32MainWindow() {
    if (m_shell) {
        m_shell->Close();
    }
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
}

void Win32MainWindow::Show() {
    ShowWindow(m_window, SW_SHOW);
    UpdateWindow(m_window);
    m_focus = GetNextDlgTabItem(m_window, nullptr, FALSE);
    SetFocus(m_focus);
}

HWND Win32MainWindow::Control(std::string_view name) const {
    const auto found = m_controls.find(name);
    return found == m_controls.end() ? nullptr : found->second;
}

FontSpec Win32MainWindow::WindowFont() {
    return {WindowFontSize, std::string(WindowFontName), false, false};
}

FontSpec Win32MainWindow::TextBoxFont() {
    return {FormLayout::TextBoxFontSize, std::string(FormLayout::TextBoxFontName), false, false};
}

HWND Win32MainWindow::MakeControl(const ControlSpec& control, const PixelRect& place) {
    const ControlClass kind = ClassOf(control.Kind);
    const std::wstring caption = WideText::FromUtf8(control.Caption);
    DWORD style = WS_CHILD | kind.style;
    if (control.Visible) {
        style |= WS_VISIBLE;
    }
    HWND widget = CreateWindowExW(kind.exStyle, kind.name, caption.c_str(), style, place.Left,
                                  place.Top, place.Width, place.Height, m_window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(m_nextId++)),
                                  Instance(), nullptr);
    if (widget == nullptr) {
        throw std::runtime_error("the control " + std::string(control.Name) +
                                 " could not be created");
    }
    const HFONT font =
        control.Kind == ControlKind::TextBox ? m_textBoxFont.Handle() : m_windowFont.Handle();
    SendMessageW(widget, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    m_controls.emplace(control.Name, widget);
    return widget;
}

ListBox& Win32MainWindow::MakeListBox(const ControlSpec& control, const PixelRect& place) {
    HWND widget = MakeControl(control, place);
    SendMessageW(widget, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L" "));
    m_Lst_Msg = std::make_unique<Win32ListBox>(widget, m_window, SettleLogMessage);
    return *m_Lst_Msg;
}

TextBox& Win32MainWindow::MakeTextBox(const ControlSpec& control, const PixelRect& place) {
    return *m_textBoxes.emplace_back(std::make_unique<Win32TextBox>(MakeControl(control, place)));
}

Label& Win32MainWindow::MakeLabel(const ControlSpec& control, const PixelRect& place) {
    HWND widget = MakeControl(control, place);
    // The measuring label takes no part in input.
    EnableWindow(widget, FALSE);
    m_Label1 = std::make_unique<Win32Label>(widget);
    return *m_Label1;
}

CommandButton& Win32MainWindow::MakeCommandButton(const ControlSpec& control,
                                                  const PixelRect& place) {
    return *m_buttons.emplace_back(
        std::make_unique<Win32CommandButton>(MakeControl(control, place)));
}

void Win32MainWindow::KeyPress(WPARAM character) {
    m_shell->Guarded([this, character] {
        std::int16_t KeyAscii = KeyCode::Of(static_cast<wchar_t>(character));
        Form().Txt_SendMsg_KeyPress(KeyAscii);
    });
}

LRESULT CALLBACK Win32MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || !self->m_shell) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT Win32MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (const auto found = m_clicks.find(LOWORD(wParam)); found != m_clicks.end()) {
                m_shell->Click(found->second);
            }
            return 0;
        }
        break;
    case SettleLogMessage:
        m_shell->Guarded([this] { m_Lst_Msg->Settle(); });
        return 0;
    case EndOfTurnMessage:
        m_shell->Guarded([this] { m_host.RunEndOfTurn(); });
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            m_focus = GetFocus();
        } else if (m_focus != nullptr && IsChild(m_window, m_focus)) {
            SetFocus(m_focus);
            return 0;
        }
        break;
    case WM_CLOSE:
        m_shell->Close();
        DestroyWindow(m_window);
        m_window = nullptr;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

LRESULT CALLBACK Win32MainWindow::SendMsgProc(HWND edit, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
    return self->OnSendMsgMessage(edit, message, wParam, lParam);
}

LRESULT Win32MainWindow::OnSendMsgMessage(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE: {
        // Enter belongs to the input line, not to the window's default button. While an input
        // method composes, the key reaches the box as VK_PROCESSKEY and the method uses it.
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        const LRESULT code = CallWindowProcW(m_editProc, edit, message, wParam, lParam);
        if (key != nullptr && (key->message == WM_KEYDOWN || key->message == WM_CHAR) &&
            key->wParam == VK_RETURN) {
            return code | DLGC_WANTALLKEYS;
        }
        return code;
    }
    case WM_CHAR:
        KeyPress(wParam);
        // A one-line box has no use for Enter but a beep.
        if (wParam == VK_RETURN) {
            return 0;
        }
        break;
    default:
        break;
    }
    return CallWindowProcW(m_editProc, edit, message, wParam, lParam);
}
