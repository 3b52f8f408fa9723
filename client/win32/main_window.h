#pragma once

#include "client/control_factory.h"
#include "client/form_shell.h"
#include "client/win32/command_button.h"
#include "client/win32/form_host.h"
#include "client/win32/gdi_font.h"
#include "client/win32/label.h"
#include "client/win32/list_box.h"
#include "client/win32/text_box.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TCPSockProc;

// The main window "Hoshiwa" as a native window: the shell makes its controls through this window,
// in tab order, and drives Form_Main; the window wires the system's clicks, keys and close to it.
// No exception leaves its window procedures: it is logged as an error entry.
class Win32MainWindow final : private ControlFactory {
public:
    explicit Win32MainWindow(TCPSockProc& proc);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    // Runs the window's load step; false when the socket layer could not be started (the user has
    // seen the message box by then and the program is to end).
    bool Load() { return m_shell->Load(); }
    void Show();

    HWND Handle() const { return m_window; }
    Form_Main& Form() { return m_shell->Form(); }
    Win32ListBox& Log() { return *m_Lst_Msg; }
    // A control by its name in the layout table; null for an unknown name.
    HWND Control(std::string_view name) const;

    // The log's and the buttons' font, the window's own, and the text boxes'.
    static FontSpec WindowFont();
    static FontSpec TextBoxFont();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SendMsgProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnSendMsgMessage(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
    ListBox& MakeListBox(const ControlSpec& control, const PixelRect& place) override;
    TextBox& MakeTextBox(const ControlSpec& control, const PixelRect& place) override;
    Label& MakeLabel(const ControlSpec& control, const PixelRect& place) override;
    CommandButton& MakeCommandButton(const ControlSpec& control, const PixelRect& place) override;
    HWND MakeControl(const ControlSpec& control, const PixelRect& place);
    void KeyPress(WPARAM character);

    HWND m_window = nullptr;
    GdiFont m_windowFont;
    GdiFont m_textBoxFont;
    std::map<std::string, HWND, std::less<>> m_controls;
    std::map<int, std::string_view> m_clicks; // the clicked control's name by its id
    int m_nextId;
    WNDPROC m_editProc = nullptr;
    HWND m_focus = nullptr; // given back when the window is activated again
    Win32FormHost m_host;
    std::unique_ptr<Win32ListBox> m_Lst_Msg;
    std::unique_ptr<Win32Label> m_Label1;
    std::vector<std::unique_ptr<Win32TextBox>> m_textBoxes;
    std::vector<std::unique_ptr<Win32CommandButton>> m_buttons;
    // Made last and gone first: Form_Main goes before the controls it reaches.
    std::unique_ptr<FormShell> m_shell;
};
