#include "client/form_layout.h"
#include "client/form_shell.h"
#include "client/qt/app_icon.h"
#include "client/qt/main_window.h"
#include "client/qt/pump_notifier.h"
#include "socket/posix/platform.h"
#include "socket/tcp_sock_proc.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <optional>

namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void ShowStartUpFailure(std::string_view text, std::string_view detail) {
    QMessageBox box(QMessageBox::NoIcon, ToQString(FormLayout::Title), ToQString(text),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(
        QString::fromLocal8Bit(detail.data(), static_cast<qsizetype>(detail.size())));
    box.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The desktop entry's name lets Wayland compositors give the window its menu entry's icon.
    QApplication::setDesktopFileName(QStringLiteral(HOSHIWA_APP_ID));
    QApplication::setWindowIcon(AppIcon::Load());
    // Everything the window runs on is made before the event loop starts, so that a failure to
    // start is told as one; once the loop runs, each call into the window is guarded.
    std::optional<PosixPlatform> platform;
    std::optional<TCPSockProc> proc;
    std::optional<MainWindow> window;
    std::optional<PumpNotifier> pump;
    const bool started = FormShell::Start(
        [&] {
            platform.emplace();
            proc.emplace(*platform);
            window.emplace(*proc);
            if (!window->Load()) {
                return false;
            }
            pump.emplace(*platform,
                         [&window](const std::function<void()>& call) { window->Guarded(call); });
            window->show();
            return true;
        },
        ShowStartUpFailure);
    if (!started) {
        return EXIT_FAILURE;
    }
    return QApplication::exec();
}
