#pragma once

// The calls the socket component makes, shaped like the Windows Sockets 1.1 and window-manager
// calls it was designed for. The product runs on PosixPlatform; tests may script a fake.
// The vocabulary lives in its own namespace because several of its names (AF_INET, INADDR_NONE)
// are macros in the POSIX headers.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace winsock {

using SOCKET = std::int32_t; // a file descriptor here; -1 is "no socket"
using HWND = std::int32_t;   // 0 is "no window"
using HINSTANCE = std::int32_t;
using UINT = std::uint32_t;
using WPARAM = std::int32_t;
using LPARAM = std::int32_t;
using LRESULT = std::int32_t;
using WNDPROC = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

inline constexpr SOCKET INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;

inline constexpr std::uint16_t WINSOCK_VERSION_1_1 = 257;
inline constexpr UINT WM_SOCKET_NOTIFY = 1024; // WM_USER
inline constexpr int WS_AF_INET = 2;
inline constexpr int WS_SOCK_STREAM = 1;
// Flags of recv and send.
inline constexpr int WS_MSG_OOB = 1;
inline constexpr int WS_MSG_PEEK = 2;
inline constexpr int WS_MSG_DONTROUTE = 4;
inline constexpr int SD_RECEIVE = 0;
inline constexpr int SD_SEND = 1;
inline constexpr int SD_BOTH = 2;
inline constexpr int LISTEN_BACKLOG = 5;
inline constexpr std::uint32_t WS_INADDR_NONE = 0xFFFFFFFFu;

// Event bits of a notification word (low 16 bits); the error number is the high 16 bits.
inline constexpr std::int32_t FD_READ = 1;
inline constexpr std::int32_t FD_WRITE = 2;
inline constexpr std::int32_t FD_ACCEPT = 8;
inline constexpr std::int32_t FD_CONNECT = 16;
inline constexpr std::int32_t FD_CLOSE = 32;

inline constexpr LPARAM WSAMAKESELECTREPLY(std::int32_t event, std::int32_t error) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(error) << 16) |
                               (static_cast<std::uint32_t>(event) & 0xFFFFu));
}
inline constexpr std::int32_t WSAGETSELECTEVENT(LPARAM lParam) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(lParam) & 0xFFFFu);
}
inline constexpr std::int32_t WSAGETSELECTERROR(LPARAM lParam) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(lParam) >> 16);
}

// Windows Sockets error numbers the component and its owner know.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAENETRESET = 10052;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;
// The component's own number, not a Windows Sockets one: an operation that the state of the
// socket (or socket object) does not allow.
inline constexpr int ErrorInvalidState = 40020;
// The component's own numbers for encrypted connections. The first five come with FD_CONNECT in
// place of success: no TLS 1.2 or later session could be made (the server speaks no TLS, offers
// only older versions, closed or sent garbage); the certificate does not chain to a trusted root;
// it names another host; it has expired or is not yet valid; it differs from the pinned
// fingerprint. The last is a recv failure on an established connection whose records no longer
// decrypt.
inline constexpr int ErrorTlsHandshake = 40030;
inline constexpr int ErrorTlsUntrusted = 40031;
inline constexpr int ErrorTlsWrongHost = 40032;
inline constexpr int ErrorTlsExpired = 40033;
inline constexpr int ErrorTlsPinMismatch = 40034;
inline constexpr int ErrorTlsBroken = 40035;

// The 16-byte IPv4 socket address: family, port high byte first, address in network order.
struct SockAddrIn {
    std::uint16_t sin_family = 0;
    std::array<std::uint8_t, 2> sin_port{};
    std::uint32_t sin_addr = 0; // the four octets in memory order
    std::array<std::uint8_t, 8> sin_zero{};
};
static_assert(sizeof(SockAddrIn) == 16);

// What a host look-up gives back: the official name and the IPv4 addresses (network order).
// Names are bytes in the system's ANSI code page.
struct HostEnt {
    std::string h_name;
    std::vector<std::uint32_t> h_addr_list;
};

// The SHA-256 digest of a certificate's DER encoding.
using CertificateFingerprint = std::array<std::uint8_t, 32>;

// How a connection is to be encrypted. Without a pin the server's certificate must chain to the
// system's trusted roots and name serverName (a DNS name, sent as SNI, or a dotted IPv4 address,
// matched against the certificate's addresses); with a pin exactly the certificate with that
// fingerprint is accepted, whatever it names or whoever signed it, and nothing else.
struct TlsRequest {
    std::string serverName; // the host as typed, ASCII
    std::optional<CertificateFingerprint> pinned;
};

// What a socket's encryption has come to.
struct TlsStatus {
    bool requested = false;
    // "TLS 1.2" or "TLS 1.3" once the session is established; empty before and after a failure.
    std::string protocol;
    // The server's certificate as soon as the handshake has shown it, also when it was refused.
    std::optional<CertificateFingerprint> certificate;
};

struct WndClass {
    UINT style = 0;
    WNDPROC lpfnWndProc;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = 0;
    std::int32_t hIcon = 0;
    std::int32_t hCursor = 0;
    std::int32_t hbrBackground = 0;
    std::optional<std::string> lpszMenuName;
    std::string lpszClassName;
};

class Platform {
public:
    virtual ~Platform() = default;

    virtual int WSAStartup(std::uint16_t wVersionRequested) = 0;
    virtual int WSACleanup() = 0;
    virtual int WSAGetLastError() = 0;
    virtual int WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, std::int32_t lEvent) = 0;

    virtual SOCKET socket(int af, int type, int protocol) = 0;
    virtual int bind(SOCKET s, const SockAddrIn& name, int namelen) = 0;
    virtual int listen(SOCKET s, int backlog) = 0;
    virtual SOCKET accept(SOCKET s, SockAddrIn& addr, int& addrlen) = 0;
    virtual int connect(SOCKET s, const SockAddrIn& name, int namelen) = 0;
    virtual int getsockname(SOCKET s, SockAddrIn& name, int& namelen) = 0;
    virtual int recv(SOCKET s, std::uint8_t* buf, int len, int flags) = 0;
    virtual int send(SOCKET s, const std::uint8_t* buf, int len, int flags) = 0;
    virtual int shutdown(SOCKET s, int how) = 0;
    virtual int closesocket(SOCKET s) = 0;

    // Encrypts the connection that connect will make: on a socket not yet connecting, 0 on
    // success. FD_CONNECT is then posted when the handshake has ended: 0 once the certificate is
    // accepted, otherwise one of the ErrorTls numbers (or the connect's own error). Until then
    // recv and send fail with WSAENOTCONN and nothing else is posted. Afterwards recv and send
    // carry the decrypted bytes, and the selection rules hold for them: FD_READ while decrypted
    // bytes wait (also when the kernel holds none), FD_WRITE when the TLS layer can take more,
    // FD_CLOSE once the server's close_notify or end of stream has come and every decrypted byte
    // was read. shutdown with SD_SEND or SD_BOTH, and closesocket, send close_notify first.
    virtual int SetTls(SOCKET s, const TlsRequest& request) = 0;
    virtual int GetTlsStatus(SOCKET s, TlsStatus& status) = 0;

    // Writes a NUL-terminated name into name[0..namelen); 0 on success.
    virtual int gethostname(char* name, int namelen) = 0;
    // No value when the look-up fails; WSAGetLastError then tells why.
    virtual std::optional<HostEnt> gethostbyname(const std::string& name) = 0;
    virtual std::optional<HostEnt> gethostbyaddr(std::uint32_t addr, int len, int type) = 0;
    virtual std::uint32_t inet_addr(const std::string& cp) = 0;

    // The window calls made by the start-up and clean-up of the notification window.
    virtual HINSTANCE GetModuleInstance() = 0;
    virtual std::uint16_t RegisterClassA(const WndClass& wndClass) = 0;
    virtual int UnregisterClassA(const std::string& className, HINSTANCE hInstance) = 0;
    virtual HWND CreateWindowExA(std::uint32_t dwExStyle, const std::string& className,
                                 const std::string& windowName, std::uint32_t dwStyle, int x, int y,
                                 int nWidth, int nHeight, HWND hWndParent, std::int32_t hMenu,
                                 HINSTANCE hInstance, std::intptr_t lpParam) = 0;
    virtual int DestroyWindow(HWND hWnd) = 0;
    virtual LRESULT DefWindowProcA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;
};

} // namespace winsock
