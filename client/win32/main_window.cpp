#include "client/win32/main_window.h"

#include "client/form_layout.h"
#include "client/form_wiring.h"
#include "client/win32/control_keys.h"
#include "client/win32/dpi.h"
#include "client/win32/key_code.h"
#include "client/win32/resources.h"
#include "client/win32/wide_text.h"

#include <commctrl.h>

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

// The program's icon at the size the system draws it at that scale; null in a program without it
// (a test).
HICON ProgramIcon(int metric, int dpi) {
    const int size = Dpi::SystemMetric(metric, dpi);
    return static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(HOSHIWA_ICON), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}

HICON ClassIcon(int metric) {
    HICON icon = ProgramIcon(metric, Dpi::Standard);
    return icon != nullptr ? icon : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
}

void RegisterWindowClass(WNDPROC procedure) {
    // The controls of the visual styles the manifest asks for are registered by Common Controls.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = Instance();
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = ClassIcon(SM_CXICON);
    windowClass.hIconSm = ClassIcon(SM_CXSMICON);
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

Win32MainWindow::Win32MainWindow(TCPSockProc& proc) : m_nextId(FirstControlId) {
    RegisterWindowClass(&Win32MainWindow::WindowProc);
    // Made where the system puts it, then sized for the scale of the screen it is on.
    const std::wstring title = WideText::FromUtf8(FormLayout::Title);
    m_window = CreateWindowExW(WindowExStyle, WindowClass, title.c_str(), WindowStyle,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                               nullptr, Instance(), this);
    if (m_window == nullptr) {
        throw std::runtime_error("the main window could not be created");
    }
    m_dpi = Dpi::OfWindow(m_window);
    MakeFonts();
    SetIcons();
    const SIZE size = WindowSize(m_dpi);
    SetWindowPos(m_window, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_host.SetOwner(m_window, EndOfTurnMessage);
    // Windows moves the focus through a window's controls in the order they were made, which is
    // the order the shell makes them in.
    m_shell = std::make_unique<FormShell>(proc, static_cast<ControlFactory&>(*this), m_host, m_dpi);
    for (const auto& [name, handler] : FormWiring::Clicks) {
        m_clicks.emplace(GetDlgCtrlID(Control(name)), name);
    }
    HWND sendMsg = Control("Txt_SendMsg");
    m_editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        sendMsg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32MainWindow::SendMsgProc)));
    SetWindowLongPtrW(sendMsg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    for (const ControlSpec& control : FormLayout::Controls) {
        if (control.Kind == ControlKind::ListBox) {
            ControlKeys::ForLog(Control(control.Name));
        } else if (control.Kind == ControlKind::TextBox) {
            if (control.Name == "Txt_SendMsg") {
                ControlKeys::ForInputLine(Control(control.Name));
            } else {
                ControlKeys::ForTextBox(Control(control.Name));
            }
        }
    }
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

SIZE Win32MainWindow::WindowSize(int dpi) {
    const RECT frame = Dpi::WindowRect(FormShell::Pixels(FormLayout::ClientWidth, dpi),
                                       FormShell::Pixels(FormLayout::ClientHeight, dpi),
                                       WindowStyle, WindowExStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void Win32MainWindow::MakeFonts() {
    m_windowFont = std::make_unique<GdiFont>(WindowFont(), m_dpi);
    m_textBoxFont = std::make_unique<GdiFont>(TextBoxFont(), m_dpi);
}

HFONT Win32MainWindow::FontFor(ControlKind kind) const {
    return kind == ControlKind::TextBox ? m_textBoxFont->Handle() : m_windowFont->Handle();
}

void Win32MainWindow::SetIcons() {
    Icon bigIcon(ProgramIcon(SM_CXICON, m_dpi), &DestroyIcon);
    Icon smallIcon(ProgramIcon(SM_CXSMICON, m_dpi), &DestroyIcon);
    if (!bigIcon || !smallIcon) {
        return;
    }
    // The window takes the new icons before the old ones go.
    SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
    SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
    m_bigIcon = std::move(bigIcon);
    m_smallIcon = std::move(smallIcon);
}

void Win32MainWindow::ChangeDpi(int dpi, const RECT& suggested) {
    m_dpi = dpi;
    // The controls take the new fonts before the old ones go.
    auto oldWindowFont = std::move(m_windowFont);
    auto oldTextBoxFont = std::move(m_textBoxFont);
    MakeFonts();
    for (const ControlSpec& control : FormLayout::Controls) {
        HWND widget = Control(control.Name);
        const PixelRect place = FormShell::Place(control, dpi);
        SetWindowPos(widget, nullptr, place.Left, place.Top, place.Width, place.Height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(widget, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control.Kind)), TRUE);
    }
    m_shell->Guarded([this] { Form().Lst_Msg_FontChanged(); });
    SetIcons();
    SetWindowPos(m_window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
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
    SendMessageW(widget, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control.Kind)), FALSE);
    m_controls.emplace(control.Name, widget);
    return widget;
}

ListBox& Win32MainWindow::MakeListBox(const ControlSpec& control, const PixelRect& place) {
    HWND widget = MakeControl(control, place);
    SendMessageW(widget, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L" "));
    m_Lst_Msg = std::make_unique<Win32ListBox>(widget, m_window, SettleLogMessage, m_dpi);
    return *m_Lst_Msg;
}

TextBox& Win32MainWindow::MakeTextBox(const ControlSpec& control, const PixelRect& place) {
    return *m_textBoxes.emplace_back(std::make_unique<Win32TextBox>(MakeControl(control, place)));
}

Label& Win32MainWindow::MakeLabel(const ControlSpec& control, const PixelRect& place) {
    HWND widget = MakeControl(control, place);
    // The measuring label takes no part in input.
    EnableWindow(widget, FALSE);
    m_Label1 = std::make_unique<Win32Label>(widget, m_dpi);
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
    case WM_GETDPISCALEDSIZE:
        // The layout's size at the new scale, so that the rectangle the system suggests with
        // WM_DPICHANGED is exactly it.
        *reinterpret_cast<SIZE*>(lParam) = WindowSize(LOWORD(wParam));
        return TRUE;
    case WM_DPICHANGED:
        ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
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
