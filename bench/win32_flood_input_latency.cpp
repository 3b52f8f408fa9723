// How long a key typed into the input line takes to show while a flood of lines arrives: a
// loopback server sends Lines lines as fast as the connection takes them, the window receives them
// through the real socket layer, and a key press is sent as input while the log is filling. The
// time runs from the key press to the input line's first paint that shows its character. The same
// is timed with the window idle, and during a second flood with a loop that takes the messages in
// the system's order (posted messages before input and painting), for comparison.

// The socket layer's names first: <windows.h> defines its error numbers as macros.
#include "socket/tcp_sock_proc.h"
#include "socket/win32/platform.h"

#include "client/win32/main_window.h"
#include "client/win32/message_loop.h"
#include "client/win32/window_text.h"

#include <commctrl.h>
#include <windows.h>
#include <winsock2.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace {

constexpr int Lines = 40000;
constexpr int FloodUnderWay = 3000; // entries logged before the key is pressed
constexpr auto Patience = std::chrono::seconds(60);

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration time) {
    return std::chrono::duration<double, std::milli>(time).count();
}

// A loopback server for one client: each Flood() sends the lines, at once, from its own thread.
class FloodServer {
public:
    FloodServer() {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
        m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 1);
        int length = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_accepting = std::thread([this] { m_client = accept(m_listener, nullptr, nullptr); });
    }
    ~FloodServer() {
        if (m_sending.joinable()) {
            m_sending.join();
        }
        if (m_accepting.joinable()) {
            m_accepting.join();
        }
        closesocket(m_client);
        closesocket(m_listener);
        WSACleanup();
    }
    int Port() const { return m_port; }
    // Numbers the lines from first on.
    void Flood(int first) {
        if (m_accepting.joinable()) {
            m_accepting.join();
        }
        if (m_sending.joinable()) {
            m_sending.join();
        }
        m_sending = std::thread([this, first] {
            std::string text;
            for (int i = 0; i < Lines; ++i) {
                text += ":nick" + std::to_string(i % 97) +
                        "!user@host.example PRIVMSG #channel :message number " +
                        std::to_string(first + i) + "\r\n";
            }
            for (std::size_t sent = 0; sent < text.size();) {
                const int part =
                    send(m_client, text.data() + sent, static_cast<int>(text.size() - sent), 0);
                if (part <= 0) {
                    return;
                }
                sent += static_cast<std::size_t>(part);
            }
        });
    }

private:
    SOCKET m_listener = INVALID_SOCKET;
    SOCKET m_client = INVALID_SOCKET;
    int m_port = 0;
    std::thread m_accepting;
    std::thread m_sending;
};

// When the input line first painted the typed character.
std::optional<Clock::time_point> shownAt;

LRESULT CALLBACK InputLinePaint(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR) {
    const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
    if (message == WM_PAINT && !shownAt && WindowText::Get(edit) == "x") {
        shownAt = Clock::now();
    }
    return result;
}

using Loop = std::function<void(HWND window)>;

// Runs the loop until the condition holds; false after Patience.
bool RunUntil(const Loop& loop, HWND window, const std::function<bool()>& done) {
    const auto end = Clock::now() + Patience;
    while (!done()) {
        if (Clock::now() > end) {
            return false;
        }
        loop(window);
    }
    return true;
}

void ProgramLoop(HWND window) {
    int exitCode = 0;
    if (MessageLoop::Pass(window, exitCode) == MessageLoop::PassEnd::Idle) {
        MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// Messages in the system's order, as GetMessage hands them out.
void SystemOrderLoop(HWND window) {
    MSG message{};
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    } else {
        MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void PressX() {
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = 'X';
        key.ki.wScan = static_cast<WORD>(MapVirtualKeyW('X', MAPVK_VK_TO_VSC));
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

class Bench {
public:
    Bench() : m_proc(m_platform), m_window(m_proc) {}

    bool Start() {
        if (!m_window.Load()) {
            return false;
        }
        m_window.Show();
        SetForegroundWindow(m_window.Handle());
        SetWindowSubclass(m_window.Control("Txt_SendMsg"), &InputLinePaint, 1, 0);
        WindowText::Set(m_window.Control("Txt_Host"),
                        "127.0.0.1:" + std::to_string(m_server.Port()));
        SendMessageW(m_window.Control("Cmd_Connect"), BM_CLICK, 0, 0);
        return RunUntil(ProgramLoop, m_window.Handle(),
                        [this] { return IsWindowVisible(m_window.Control("Cmd_Disconnect")); });
    }

    struct Shown {
        double milliseconds;
        bool duringFlood; // false: the flood had ended before the character showed
    };

    // The time from the key press to its character shown; nothing when it did not show.
    std::optional<Shown> KeyToShown(const Loop& loop, bool flood) {
        HWND input = m_window.Control("Txt_SendMsg");
        WindowText::Set(input, "");
        SetFocus(input);
        RunUntil(loop, m_window.Handle(), [] { return true; });
        MessageLoop::RunFor(m_window.Handle(), std::chrono::milliseconds(50));
        if (flood) {
            m_first += Lines;
            m_server.Flood(m_first);

            if (!RunUntil(loop, m_window.Handle(),
                          [this] { return Received() >= FloodUnderWay; })) {
                return std::nullopt;
            }
        }
        shownAt.reset();
        const auto pressed = Clock::now();
        PressX();
        if (!RunUntil(loop, m_window.Handle(), [] { return shownAt.has_value(); })) {
            return std::nullopt;
        }
        const bool during = Received() < Lines;
        if (flood && !RunUntil(loop, m_window.Handle(), [this] { return Received() >= Lines; })) {
            return std::nullopt;
        }
        return Shown{Milliseconds(*shownAt - pressed), during};
    }

private:
    // Lines of the flood logged so far: the log's last entry names its number.
    int Received() {
        const int count = m_window.Log().ListCount();
        const std::string last = count >= 2 ? m_window.Log().List(count - 2) : std::string();
        const auto number = last.rfind("message number ");
        if (number != std::string::npos) {
            return std::max(0, std::stoi(last.substr(number + 15)) - m_first + 1);
        }
        return 0;
    }

    FloodServer m_server;
    WinPlatform m_platform;
    TCPSockProc m_proc;
    Win32MainWindow m_window;
    int m_first = 0;
};

std::string Describe(const std::optional<Bench::Shown>& shown) {
    if (!shown) {
        return "(not shown)";
    }
    return std::to_string(std::lround(shown->milliseconds)) +
           (shown->duringFlood ? " ms" : " ms (after the flood had ended)");
}

} // namespace

int main() {
    Bench bench;
    if (!bench.Start()) {
        std::puts("win32_flood_input_latency: the window did not connect to the loopback server");
        return 1;
    }
    const auto idle = bench.KeyToShown(ProgramLoop, false);
    const auto flood = bench.KeyToShown(ProgramLoop, true);
    const auto systemOrder = bench.KeyToShown(SystemOrderLoop, true);
    std::printf("(the same flood with the messages taken in the system's order: %s)\n",
                Describe(systemOrder).c_str());
    std::printf("win32_flood_input_latency: %s from a key press to its character shown, during "
                "a 40,000-line flood, vs %s idle\n",
                Describe(flood).c_str(), Describe(idle).c_str());
    return idle && flood && flood->duringFlood ? 0 : 1;
}
