#pragma once

// The socket layer's names first: <windows.h> defines its error numbers as macros.
#include "socket/tcp_sock_proc.h"
#include "tests/fakes/fake_platform.h"

#include "client/win32/main_window.h"
#include "client/win32/message_loop.h"
#include "client/win32/window_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

// The native window, loaded and shown, over a scripted socket layer; driven by window messages
// that pass its message loop as a user's keys and clicks do.
class Win32WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Load());
        window.Show();
        Turn();
    }

    HWND Control(const char* name) {
        HWND control = window.Control(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    // Runs the message loop until the queue is empty.
    void Turn() { MessageLoop::RunFor(window.Handle(), std::chrono::milliseconds(0)); }
    // A key pressed and let go in the focused control.
    void PressKey(WPARAM key) {
        HWND focus = GetFocus();
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), 0)) << 16;
        PostMessageW(focus, WM_KEYDOWN, key, scan | 1);
        PostMessageW(focus, WM_KEYUP, key, scan | 0xC0000001);
        Turn();
    }
    std::vector<std::string> Entries() {
        std::vector<std::string> entries;
        for (int index = 0; index < window.Log().ListCount(); ++index) {
            entries.push_back(window.Log().List(index));
        }
        return entries;
    }
    // The newest logged entry without its time.
    std::string Newest() {
        const auto entries = Entries();
        return entries.size() < 2 ? std::string() : entries[entries.size() - 2].substr(9);
    }

    FakePlatform platform;
    TCPSockProc proc{platform};
    Win32MainWindow window{proc};
};
