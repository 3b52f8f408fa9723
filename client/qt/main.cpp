#include "client/qt/main_window.h"
#include "client/qt/pump_notifier.h"
#include "socket/posix_platform.h"
#include "socket/tcp_sock_proc.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    PosixPlatform platform;
    TCPSockProc proc(platform);
    PumpNotifier pump(platform);
    MainWindow window(proc);
    if (!window.Load()) {
        return EXIT_FAILURE;
    }
    window.show();
    return QApplication::exec();
}
