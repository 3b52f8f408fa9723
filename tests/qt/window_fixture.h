#pragma once

#include "client/qt/log_view.h"
#include "client/qt/main_window.h"
#include "client/qt/pump_notifier.h"
#include "socket/posix/platform.h"
#include "socket/tcp_sock_proc.h"
#include "tests/qt/qt_application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <string>

// The real window over its own real socket layer.
struct LoadedWindow {
    LoadedWindow() { loaded = window.Load(); }
    ~LoadedWindow() { window.close(); }
    PosixPlatform platform;
    TCPSockProc proc{platform};
    PumpNotifier pump{platform};
    MainWindow window{proc};
    bool loaded = false;
};

// One loaded window per test; it is shown where a test needs it.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loaded.loaded); }

    template <typename T> T& Get(const char* name) {
        auto* widget = qobject_cast<T*>(window.Control(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    LogModel& Log() { return window.Log().Model(); }
    // The newest logged entry, just above the blank last entry.
    QString Newest() { return Log().Entry(Log().rowCount() - 2); }

    // Turns the event loop until done() holds; gives up after a bound so that no test hangs.
    static bool WaitFor(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > 10000) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }
    static void Settle() {
        for (int turn = 0; turn < 3; ++turn) {
            QCoreApplication::processEvents();
        }
    }

    LoadedWindow loaded;
    MainWindow& window = loaded.window;
};
