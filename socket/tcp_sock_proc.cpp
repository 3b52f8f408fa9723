#include "socket/tcp_sock_proc.h"

#include "encoding/ansi_code_page.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

using namespace winsock;

namespace {

constexpr const char* ClassName = "ClassCopy";
constexpr const char* WindowTitle = "";
constexpr std::size_t MaxHostNameBytes = 256;

// Decimal text with a sign position: a blank for zero and above, "-" below zero.
std::string WithSignPosition(std::int32_t number) {
    const auto value = static_cast<long long>(number);
    std::string text(1, value < 0 ? '-' : ' ');
    text += std::to_string(value < 0 ? -value : value);
    return text;
}

std::string ToCodePage(const std::string& text) {
    const std::vector<std::uint8_t> bytes = AnsiCodePage::ToBytes(text);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TCPSockProc::TCPSockProc(winsock::Platform& platform) : m_platform(platform) {}

bool TCPSockProc::StartUpWindow() {
    if (!m_WinsockStarted && m_platform.WSAStartup(WINSOCK_VERSION_1_1) == 0) {
        m_WinsockStarted = true;
        m_Pending.Reset();
    }
    if (!m_ClassRegistered) {
        WndClass wndClass;
        wndClass.lpfnWndProc = [this](HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
            return NotifyWindowProc(hWnd, uMsg, wParam, lParam);
        };
        wndClass.hInstance = m_platform.GetModuleInstance();
        wndClass.lpszClassName = ClassName;
        if (m_platform.RegisterClassA(wndClass) != 0) {
            m_ClassRegistered = true;
        }
    }
    if (!m_WindowCreated) {
        m_NotifyWindow = m_platform.CreateWindowExA(0, ClassName, WindowTitle, 0, 0, 0, 0, 0, 0, 0,
                                                    m_platform.GetModuleInstance(), 0);
        if (m_NotifyWindow != 0) {
            m_WindowCreated = true;
        }
    }
    if (m_WinsockStarted && m_ClassRegistered && m_WindowCreated) {
        return true;
    }
    CleanUpWindow();
    return false;
}

bool TCPSockProc::CleanUpWindow() {
    if (m_WindowCreated) {
        if (m_platform.DestroyWindow(m_NotifyWindow) != 0) {
            m_WindowCreated = false;
        }
        m_NotifyWindow = 0;
    }
    if (m_ClassRegistered &&
        m_platform.UnregisterClassA(ClassName, m_platform.GetModuleInstance()) != 0) {
        m_ClassRegistered = false;
    }
    if (m_WinsockStarted && m_platform.WSACleanup() == 0) {
        m_WinsockStarted = false;
    }
    return !(m_WinsockStarted || m_ClassRegistered || m_WindowCreated);
}

void TCPSockProc::RegisterSocket(const std::shared_ptr<NotificationTarget>& sock) {
    std::string key = WithSignPosition(sock->GetHandle());
    const bool listed =
        std::any_of(m_SocketList.begin(), m_SocketList.end(),
                    [&](const SocketListEntry& entry) { return entry.first == key; });
    if (!listed) {
        m_SocketList.emplace_back(std::move(key), sock);
    }
}

void TCPSockProc::UnregisterSocket(const NotificationTarget& sock) {
    const std::string key = WithSignPosition(sock.GetHandle());
    auto found = std::find_if(m_SocketList.begin(), m_SocketList.end(),
                              [&](const SocketListEntry& entry) { return entry.first == key; });
    if (found != m_SocketList.end()) {
        m_SocketList.erase(found);
    }
}

LRESULT TCPSockProc::NotifyWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_SOCKET_NOTIFY) {
        for (const auto& entry : m_SocketList) {
            if (entry.second->GetHandle() == wParam) {
                // The handler may close the object and so drop the list's reference to it; this
                // one keeps it alive until InvokeEvent has returned. The walk ends here because
                // the list may have changed.
                const std::shared_ptr<NotificationTarget> target = entry.second;
                target->InvokeEvent(lParam);
                break;
            }
        }
    }
    return m_platform.DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

std::string TCPSockProc::GetErrorText(std::int32_t Number) {
    static const std::map<int, const char*> texts = {
        {WSAEINTR, "処理がキャンセルされました。"},
        {WSAEFAULT,
         "要求されたアドレスはブロードキャストアドレスですが、フラグが設定されていません。"},
        {WSAEWOULDBLOCK,
         "ソケットはブロック化処理を行いませんが、指定された処理はブロック化を行います。"},
        {WSAEINPROGRESS, "ブロック化を行う Winsock 処理が進行中です。"},
        {WSAEALREADY, "処理が完了しました。進行中のブロック化処理はありません。"},
        {WSAENOTSOCK, "記述子がソケットではありません。"},
        {WSAEMSGSIZE, "データグラムが大きすぎてバッファ内に納まらず、切り詰められました。"},
        {WSAEPROTONOSUPPORT, "指定したポートがサポートされていません。"},
        {WSAEADDRINUSE, "アドレスが使用中です。"},
        {WSAEADDRNOTAVAIL, "アドレスをローカルマシンから取得できません。"},
        {WSAENETDOWN, "ネットワークサブシステムが失敗しました。"},
        {WSAENETUNREACH, "現時点ではこのホストからネットワークにアクセスできません。"},
        {WSAENETRESET, "SO_KEEPALIVE が設定されており、接続のタイムアウトが発生しました。"},
        {WSAECONNABORTED, "タイムアウトその他の不具合で接続処理が中止されました。"},
        {WSAECONNRESET, "接続がリモート側のマシンからリセットされました。"},
        {WSAENOBUFS, "使用できるバッファ領域がありません。"},
        {WSAEISCONN, "ソケットは既に接続されています。"},
        {WSAENOTCONN, "ソケットは接続されていません。"},
        {WSAESHUTDOWN, "ソケットは終了しています。"},
        {WSAETIMEDOUT, "接続がタイムアウトしました。"},
        {WSAECONNREFUSED, "接続が強制的に拒絶されました。"},
        {WSAEHOSTUNREACH, "ホストへの経路がありません。"},
        {WSANOTINITIALISED, "まず WinsockInit を呼び出す必要があります。"},
        {WSAHOST_NOT_FOUND, "ホストが見つかりません。"},
        {WSATRY_AGAIN, "非正式応答。ホストが見つかりません。"},
        {WSANO_RECOVERY, "回復不能なエラーです。"},
        {WSANO_DATA, "名前は有効ですが、要求された型のデータレコードがありません。"},
        {ErrorInvalidState, "現在の状態では不正な操作です。"},
        {ErrorTlsHandshake, "TLS のハンドシェイクに失敗しました。"},
        {ErrorTlsUntrusted, "サーバーの証明書は信頼されていません。"},
        {ErrorTlsWrongHost, "サーバーの証明書は別のホストのものです。"},
        {ErrorTlsExpired, "サーバーの証明書は有効期限が切れているか、まだ有効になっていません。"},
        {ErrorTlsPinMismatch, "サーバーの証明書が指定されたフィンガープリントと一致しません。"},
        {ErrorTlsBroken, "暗号化された通信が壊れています。"},
    };
    if (auto found = texts.find(Number); found != texts.end()) {
        return found->second;
    }
    return "不明なエラー: " + WithSignPosition(Number);
}

std::uint32_t TCPSockProc::ResolveHost(const std::string& name) {
    const std::string ansiName = ToCodePage(name);
    std::uint32_t address = m_platform.inet_addr(ansiName);
    if (address == WS_INADDR_NONE) {
        const std::optional<HostEnt> host = m_platform.gethostbyname(ansiName);
        address = host && !host->h_addr_list.empty() ? host->h_addr_list.front() : WS_INADDR_NONE;
        m_LookupError = host ? WSAHOST_NOT_FOUND : m_platform.WSAGetLastError();
    }
    return address;
}

std::string TCPSockProc::ResolveAddress(std::uint32_t address) {
    const std::optional<HostEnt> host = m_platform.gethostbyaddr(address, 4, WS_AF_INET);
    if (!host) {
        return "";
    }
    const std::string& name = host->h_name;
    const std::size_t length = std::min({name.find('\0'), name.size(), MaxHostNameBytes});
    return AnsiCodePage::ToText(reinterpret_cast<const std::uint8_t*>(name.data()), length);
}

std::string TCPSockProc::AddressToText(std::uint32_t address) {
    std::array<std::uint8_t, 4> octets{};
    std::memcpy(octets.data(), &address, octets.size());
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}
