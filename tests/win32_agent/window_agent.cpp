// The Windows front end's window for end-to-end tests run from Linux: it builds the program's own
// window over the real socket layer and carries out one command per input line, driving the window
// with window messages that pass its message loop, and answers one line each ("ok" and the
// result's words, or "error" and why). Texts travel as hex digits.

// The socket layer's names first: <windows.h> defines its error numbers as macros.
#include "socket/tcp_sock_proc.h"
#include "socket/win32/platform.h"

#include "client/win32/main_window.h"
#include "client/win32/message_loop.h"
#include "client/win32/wide_text.h"
#include "client/win32/window_text.h"
#include "tests/win32_agent/agent_text.h"
#include "tests/win32_agent/trusted_root.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

class Agent {
public:
    explicit Agent(Win32MainWindow& window) : m_window(window) {}

    // Returns the reply's words after "ok"; sets closed once the window is gone.
    std::string Carry(const std::string& line, bool& closed) {
        std::istringstream words(line);
        std::string command;
        std::string name;
        std::string argument;
        words >> command >> name >> argument;
        if (command == "settext") {
            const std::wstring text = WideText::FromUtf8(AgentText::FromHex(argument));
            SendMessageW(Control(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else if (command == "type") {
            HWND box = Control(name);
            SetFocus(box);
            const LRESULT end = GetWindowTextLengthW(box);
            SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(end), end);
            for (const wchar_t typed : WideText::FromUtf8(AgentText::FromHex(argument))) {
                PostMessageW(box, WM_CHAR, typed, 1);
            }
        } else if (command == "text") {
            return AgentText::ToHex(WindowText::Get(Control(name)));
        } else if (command == "click") {
            // As on screen, a hidden button takes no click.
            if (IsWindowVisible(Control(name))) {
                SendMessageW(Control(name), BM_CLICK, 0, 0);
            }
        } else if (command == "visible") {
            return IsWindowVisible(Control(name)) ? "1" : "0";
        } else if (command == "enter") {
            HWND box = Control("Txt_SendMsg");
            SetFocus(box);
            const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(VK_RETURN, 0)) << 16;
            PostMessageW(box, WM_KEYDOWN, VK_RETURN, scan | 1);
            PostMessageW(box, WM_KEYUP, VK_RETURN, scan | 0xC0000001);
        } else if (command == "entries") {
            std::string entries;
            for (int index = 0; index < m_window.Log().ListCount(); ++index) {
                entries += AgentText::ToHex(m_window.Log().List(index)) + " ";
            }
            return entries;
        } else if (command == "turn") {
            MessageLoop::RunFor(m_window.Handle(), std::chrono::milliseconds(std::stoi(name)));
        } else if (command == "close") {
            SendMessageW(m_window.Handle(), WM_CLOSE, 0, 0);
            closed = true;
            return {};
        } else {
            throw std::invalid_argument("unknown command " + command);
        }
        // What the command posted is handled before the reply.
        MessageLoop::RunFor(m_window.Handle(), std::chrono::milliseconds(0));
        return {};
    }

private:
    HWND Control(const std::string& name) const {
        HWND control = m_window.Control(name);
        if (control == nullptr) {
            throw std::invalid_argument("no control named " + name);
        }
        return control;
    }

    Win32MainWindow& m_window;
};

void Reply(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

} // namespace

int wmain() {
    // The test's CA, when it names one, is trusted for as long as the window runs.
    std::optional<TrustedRoot> trustedRoot;
    if (const char* ca = std::getenv("SSL_CERT_FILE"); ca != nullptr) {
        trustedRoot.emplace(ca);
        if (!trustedRoot->Added()) {
            Reply(std::string("error the certificate store took no root from ") + ca);
            return 1;
        }
    }
    WinPlatform platform;
    TCPSockProc proc(platform);
    Win32MainWindow window(proc);
    if (!window.Load()) {
        Reply("error the window did not load");
        return 1;
    }
    window.Show();
    Agent agent(window);
    Reply("ready");
    bool closed = false;
    for (std::string line; !closed && std::getline(std::cin, line);) {
        try {
            Reply("ok " + agent.Carry(line, closed));
        } catch (const std::exception& failure) {
            Reply(std::string("error ") + failure.what());
        }
    }
    return 0;
}
