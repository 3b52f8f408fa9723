// A flood of log entries into the native Windows window, shown: one read notification can bring
// thousands of lines, so AddLog runs that many times within one message-loop turn. The time covers
// the AddLog calls and then the message loop until the list has scrolled once and painted.
//
// The baseline is the same window's list box, inserting each entry and scrolling to it at once
// (selecting the last entry and deselecting it), the way the list box was driven originally. Under
// Wine each of those scrolls costs tens of milliseconds whatever the list holds, so the whole
// baseline flood would take half an hour: it is timed over its first BaselineSample entries and
// scaled to the flood, and the line before the summary says so.

// The socket layer's names first: <windows.h> defines its error numbers as macros.
#include "socket/tcp_sock_proc.h"
#include "tests/fakes/fake_platform.h"

#include "client/win32/main_window.h"
#include "client/win32/message_loop.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr int Entries = 32767;
constexpr int BaselineSample = 2000;

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Line(int i) {
    return "<Recv> :nick" + std::to_string(i % 97) +
           "!user@host.example PRIVMSG #channel :message number " + std::to_string(i);
}

// Runs the message loop until it is idle and the window has painted everything invalid.
void Settle(HWND window) {
    MessageLoop::RunFor(window, std::chrono::milliseconds(0));
    UpdateWindow(window);
    MessageLoop::RunFor(window, std::chrono::milliseconds(0));
}

// Whether the list shows this entry whole and nothing is selected.
bool ShowsEntry(HWND list, int index) {
    RECT client{};
    GetClientRect(list, &client);
    const auto height = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    const auto top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    return height > 0 && top <= index && (index - top + 1) * height <= client.bottom &&
           SendMessageW(list, LB_GETCURSEL, 0, 0) == LB_ERR;
}

double FrontEndFlood() {
    FakePlatform platform;
    TCPSockProc proc(platform);
    Win32MainWindow window(proc);
    if (!window.Load()) {
        return -1;
    }
    window.Show();
    Settle(window.Handle());
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < Entries; ++i) {
        window.Form().AddLog(Line(i));
    }
    Settle(window.Handle());
    const double time = Milliseconds(start);
    HWND list = window.Control("Lst_Msg");
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    return count == Entries + 1 && ShowsEntry(list, count - 1) ? time : -1;
}

// The time for BaselineSample entries.
double PerEntryScrollFlood() {
    // The same window, its log driven the original way.
    FakePlatform platform;
    TCPSockProc proc(platform);
    Win32MainWindow window(proc);
    window.Show();
    Settle(window.Handle());
    HWND list = window.Control("Lst_Msg");
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < BaselineSample; ++i) {
        const std::string line = Line(i);
        const std::wstring entry = L"00:00:00 " + std::wstring(line.begin(), line.end());
        const auto last = SendMessageW(list, LB_GETCOUNT, 0, 0) - 1;
        SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(last),
                     reinterpret_cast<LPARAM>(entry.c_str()));
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(last + 1), 0);
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
    Settle(window.Handle());
    const double time = Milliseconds(start);
    return ShowsEntry(list, BaselineSample) ? time : -1;
}

} // namespace

int main() {
    const double frontEnd = FrontEndFlood();
    const double sample = PerEntryScrollFlood();
    if (frontEnd <= 0 || sample <= 0) {
        std::puts("win32_log_flood_32767: the list did not end scrolled to its last entry");
        return 1;
    }
    const double perEntry = sample * Entries / BaselineSample;
    std::printf("(per-entry scroll timed over its first %d entries: %.0f ms, scaled to %d)\n",
                BaselineSample, sample, Entries);
    std::printf("win32_log_flood_32767: %.0f vs per-entry scroll %.0f = %.1fx\n", frontEnd,
                perEntry, perEntry / frontEnd);
    return 0;
}
