#pragma once

#include "client/form_main.h"
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

class TCPSockProc;

// The main window "Hoshiwa" as a native window: its controls built from the layout table in tab
// order, the adapters through which Form_Main reaches them, and the clicks, keys and close that
// drive Form_Main. No exception leaves its window procedures: it is logged as an error entry.
class Win32MainWindow {
public:
    explicit Win32MainWindow(TCPSockProc& proc);
    ~Win32MainWindow();
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    // Runs the window's load step; false when the socket layer could not be started (the user has
    // seen the message box by then and the program is to end).
    bool Load();
    void Show();

    HWND Handle() const { return m_window; }
    Form_Main& Form() { return *m_form; }
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
    void BuildControls();
    void Unload();
    void Click(int id);
    void KeyPress(WPARAM character);
    void Guarded(const std::function<void()>& action);

    HWND m_window = nullptr;
    GdiFont m_windowFont;
    GdiFont m_textBoxFont;
    std::map<std::string, HWND, std::less<>> m_controls;
    std::map<int, void (Form_Main::*)()> m_clicks; // by control id
    WNDPROC m_editProc = nullptr;
    HWND m_focus = nullptr; // given back when the window is activated again
    Win32FormHost m_host;
    std::unique_ptr<Win32ListBox> m_Lst_Msg;
    std::unique_ptr<Win32Label> m_Label1;
    std::map<std::string, std::unique_ptr<Win32TextBox>, std::less<>> m_textBoxes;
    std::map<std::string, std::unique_ptr<Win32CommandButton>, std::less<>> m_buttons;
    std::unique_ptr<Form_Main> m_form;
    bool m_loaded = false;
};
