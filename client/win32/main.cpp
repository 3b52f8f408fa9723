// The socket layer's names first: <windows.h> defines its error numbers as macros.
#include "socket/tcp_sock_proc.h"
#include "socket/win32/platform.h"

#include "client/win32/main_window.h"
#include "client/win32/message_loop.h"

#include <windows.h>

#include <cstdlib>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    WinPlatform platform;
    TCPSockProc proc(platform);
    Win32MainWindow window(proc);
    if (!window.Load()) {
        return EXIT_FAILURE;
    }
    window.Show();
    return MessageLoop::Run(window.Handle());
}
