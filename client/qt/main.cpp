#include "client/qt/app_icon.h"
#include "client/qt/main_window.h"
#include "client/qt/pump_notifier.h"
#include "socket/posix_platform.h"
#include "socket/tcp_sock_proc.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The desktop entry's name lets Wayland compositors give the window its menu entry's icon.
    QApplication::setDesktopFileName(QStringLiteral(HOSHIWA_APP_ID));
    QApplication::setWindowIcon(AppIcon::Load());
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
