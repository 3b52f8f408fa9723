// The socket layer's names first: <windows.h> defines its error numbers as macros.
#include "socket/tcp_sock_proc.h"
#include "socket/win32/platform.h"

#include "client/form_layout.h"
#include "client/form_shell.h"
#include "client/win32/main_window.h"
#include "client/win32/message_loop.h"
#include "client/win32/wide_text.h"

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

void ShowStartUpFailure(std::string_view text, std::string_view detail) {
    std::string message(text);
    if (!detail.empty()) {
        message.append("\n\n").append(detail);
    }
    const std::wstring wideMessage = WideText::FromUtf8(message);
    const std::wstring title = WideText::FromUtf8(FormLayout::Title);
    MessageBoxW(nullptr, wideMessage.c_str(), title.c_str(), MB_OK);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Everything the window runs on is made before the message loop starts, so that a failure to
    // start is told as one; once the loop runs, each call into the window is guarded.
    std::optional<WinPlatform> platform;
    std::optional<TCPSockProc> proc;
    std::optional<Win32MainWindow> window;
    const bool started = FormShell::Start(
        [&] {
            platform.emplace();
            proc.emplace(*platform);
            window.emplace(*proc);
            if (!window->Load()) {
                return false;
            }
            window->Show();
            return true;
        },
        ShowStartUpFailure);
    if (!started) {
        return EXIT_FAILURE;
    }
    return MessageLoop::Run(window->Handle());
}
