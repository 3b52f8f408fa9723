#include "socket/posix_platform.h"

// Interim version: every call fails until the socket layer is complete, so that the component
// links and its tests can be written against the interface.

using namespace winsock;

PosixPlatform::PosixPlatform() = default;
PosixPlatform::~PosixPlatform() = default;

int PosixPlatform::WSAStartup(std::uint16_t) {
    return WSANOTINITIALISED;
}
int PosixPlatform::WSACleanup() {
    return SOCKET_ERROR;
}
int PosixPlatform::WSAGetLastError() {
    return WSANOTINITIALISED;
}
int PosixPlatform::WSAAsyncSelect(SOCKET, HWND, UINT, std::int32_t) {
    return SOCKET_ERROR;
}
SOCKET PosixPlatform::socket(int, int, int) {
    return INVALID_SOCKET;
}
int PosixPlatform::bind(SOCKET, const SockAddrIn&, int) {
    return SOCKET_ERROR;
}
int PosixPlatform::listen(SOCKET, int) {
    return SOCKET_ERROR;
}
SOCKET PosixPlatform::accept(SOCKET, SockAddrIn&, int&) {
    return INVALID_SOCKET;
}
int PosixPlatform::connect(SOCKET, const SockAddrIn&, int) {
    return SOCKET_ERROR;
}
int PosixPlatform::getsockname(SOCKET, SockAddrIn&, int&) {
    return SOCKET_ERROR;
}
int PosixPlatform::recv(SOCKET, std::uint8_t*, int, int) {
    return SOCKET_ERROR;
}
int PosixPlatform::send(SOCKET, const std::uint8_t*, int, int) {
    return SOCKET_ERROR;
}
int PosixPlatform::shutdown(SOCKET, int) {
    return SOCKET_ERROR;
}
int PosixPlatform::closesocket(SOCKET) {
    return SOCKET_ERROR;
}
int PosixPlatform::gethostname(char*, int) {
    return SOCKET_ERROR;
}
std::optional<HostEnt> PosixPlatform::gethostbyname(const std::string&) {
    return std::nullopt;
}
std::optional<HostEnt> PosixPlatform::gethostbyaddr(std::uint32_t, int, int) {
    return std::nullopt;
}
std::uint32_t PosixPlatform::inet_addr(const std::string&) {
    return WS_INADDR_NONE;
}
HINSTANCE PosixPlatform::GetModuleInstance() {
    return 0x400000;
}
std::uint16_t PosixPlatform::RegisterClassA(const WndClass&) {
    return 0;
}
int PosixPlatform::UnregisterClassA(const std::string&, HINSTANCE) {
    return 0;
}
HWND PosixPlatform::CreateWindowExA(std::uint32_t, const std::string&, const std::string&,
                                    std::uint32_t, int, int, int, int, HWND, std::int32_t,
                                    HINSTANCE, std::intptr_t) {
    return 0;
}
int PosixPlatform::DestroyWindow(HWND) {
    return 0;
}
LRESULT PosixPlatform::DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}
int PosixPlatform::PumpDescriptor() const {
    return -1;
}
std::size_t PosixPlatform::Pump() {
    return 0;
}
bool PosixPlatform::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds) {
    return done();
}
