#include "client/win32/main_window.h"

#include "client/form_layout.h"
#include "client/form_wiring.h"
#include "client/win32/key_code.h"
#include "client/win32/wide_text.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

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

int Pixels(int twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / FormLayout::TwipsPerPixel));
}

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
    : m_windowFont(WindowFont()), m_textBoxFont(TextBoxFont()) {
    RegisterWindowClass(&Win32MainWindow::WindowProc);
    RECT frame{0, 0, Pixels(FormLayout::ClientWidth), Pixels(FormLayout::ClientHeight)};
    AdjustWindowRectEx(&frame, WindowStyle, FALSE, WindowExStyle);
    const std::wstring title = WideText::FromUtf8(FormLayout::Title);
    m_window = CreateWindowExW(WindowExStyle, WindowClass, title.c_str(), WindowStyle,
                               CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                               frame.bottom - frame.top, nullptr, nullptr, Instance(), this);
    if (m_window == nullptr) {
        throw std::runtime_error("the main window could not be created");
    }
    m_host.SetOwner(m_window, EndOfTurnMessage);
    BuildControls();

    m_Lst_Msg = std::make_unique<Win32ListBox>(Control("Lst_Msg"), m_window, SettleLogMessage);
    m_Label1 = std::make_unique<Win32Label>(Control("Label1"));
    auto text = [this](std::string_view name) -> TextBox& {
        return *m_textBoxes.find(name)->second;
    };
    auto button = [this](std::string_view name) -> CommandButton& {
        return *m_buttons.find(name)->second;
    };
    m_form = std::make_unique<Form_Main>(
        proc, FormWiring::Controls(*m_Lst_Msg, *m_Label1, text, button, m_host));

    for (const auto& [name, handler] : FormWiring::Clicks) {
        m_clicks.emplace(GetDlgCtrlID(Control(name)), handler);
    }
    HWND sendMsg = Control("Txt_SendMsg");
    m_editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        sendMsg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32MainWindow::SendMsgProc)));
    SetWindowLongPtrW(sendMsg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32MainWindow::~Win32MainWindow() {
    // A window destroyed without being closed still gives up its socket before the socket layer
    // is cleaned up.
    Unload();
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
}

bool Win32MainWindow::Load() {
    m_loaded = m_form->Form_Load();
    return m_loaded;
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

void Win32MainWindow::BuildControls() {
    // Windows moves the focus through a window's controls in the order they were made.
    std::vector<const ControlSpec*> order;
    for (const ControlSpec& control : FormLayout::Controls) {
        order.push_back(&control);
    }
    std::sort(order.begin(), order.end(),
              [](const ControlSpec* a, const ControlSpec* b) { return a->TabIndex < b->TabIndex; });
    int id = FirstControlId;
    for (const ControlSpec* control : order) {
        const ControlClass kind = ClassOf(control->Kind);
        const std::wstring caption = WideText::FromUtf8(control->Caption);
        DWORD style = WS_CHILD | kind.style;
        if (control->Visible) {
            style |= WS_VISIBLE;
        }
        HWND widget = CreateWindowExW(
            kind.exStyle, kind.name, caption.c_str(), style, Pixels(control->Left),
            Pixels(control->Top), Pixels(control->Width), Pixels(control->Height), m_window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), Instance(), nullptr);
        if (widget == nullptr) {
            throw std::runtime_error("the control " + std::string(control->Name) +
                                     " could not be created");
        }
        const HFONT font =
            control->Kind == ControlKind::TextBox ? m_textBoxFont.Handle() : m_windowFont.Handle();
        SendMessageW(widget, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        switch (control->Kind) {
        case ControlKind::ListBox:
            SendMessageW(widget, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L" "));
            break;
        case ControlKind::TextBox:
            m_textBoxes.emplace(control->Name, std::make_unique<Win32TextBox>(widget));
            break;
        case ControlKind::Label:
            // The measuring label takes no part in input.
            EnableWindow(widget, FALSE);
            break;
        case ControlKind::CommandButton:
            m_buttons.emplace(control->Name, std::make_unique<Win32CommandButton>(widget));
            break;
        }
        m_controls.emplace(control->Name, widget);
    }
}

void Win32MainWindow::Unload() {
    if (!m_loaded) {
        return;
    }
    m_loaded = false;
    m_form->Form_Unload();
}

void Win32MainWindow::Click(int id) {
    const auto found = m_clicks.find(id);
    if (found != m_clicks.end()) {
        (m_form.get()->*found->second)();
    }
}

void Win32MainWindow::KeyPress(WPARAM character) {
    Guarded([this, character] {
        std::int16_t KeyAscii = KeyCode::Of(static_cast<wchar_t>(character));
        m_form->Txt_SendMsg_KeyPress(KeyAscii);
    });
}

void Win32MainWindow::Guarded(const std::function<void()>& action) {
    // An exception must not unwind through the system's code that called the procedure: it is
    // logged and the connection given up, as in the other front end.
    m_form->Guard(action);
}

LRESULT CALLBACK Win32MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || !self->m_form) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT Win32MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            Guarded([this, wParam] { Click(LOWORD(wParam)); });
            return 0;
        }
        break;
    case SettleLogMessage:
        Guarded([this] { m_Lst_Msg->Settle(); });
        return 0;
    case EndOfTurnMessage:
        Guarded([this] { m_host.RunEndOfTurn(); });
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
        Guarded([this] { Unload(); });
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
