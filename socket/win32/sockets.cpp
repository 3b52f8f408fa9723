#include "socket/win32/sockets.h"

#include <cstring>

#include <winsock2.h>

namespace win_sockets {

namespace {

::SOCKET Native(Handle s) {
    return static_cast<::SOCKET>(s);
}

std::optional<Host> Copy(const hostent* entry) {
    if (entry == nullptr) {
        return std::nullopt;
    }
    Host host;
    host.name = entry->h_name != nullptr ? entry->h_name : "";
    if (entry->h_addrtype == AF_INET && entry->h_length == sizeof(std::uint32_t)) {
        for (char** a = entry->h_addr_list; *a != nullptr; ++a) {
            std::uint32_t address;
            std::memcpy(&address, *a, sizeof address);
            host.addresses.push_back(address);
        }
    }
    return host;
}

} // namespace

int Startup(std::uint16_t version) {
    WSADATA data;
    return ::WSAStartup(version, &data);
}

int Cleanup() {
    return ::WSACleanup();
}

int LastError() {
    return ::WSAGetLastError();
}

Handle Open(int af, int type, int protocol) {
    return static_cast<Handle>(::socket(af, type, protocol));
}

int Bind(Handle s, const void* address, int length) {
    return ::bind(Native(s), static_cast<const sockaddr*>(address), length);
}

int Listen(Handle s, int backlog) {
    return ::listen(Native(s), backlog);
}

Handle Accept(Handle s, void* address, int* length) {
    return static_cast<Handle>(::accept(Native(s), static_cast<sockaddr*>(address), length));
}

int Connect(Handle s, const void* address, int length) {
    return ::connect(Native(s), static_cast<const sockaddr*>(address), length);
}

int LocalName(Handle s, void* address, int* length) {
    return ::getsockname(Native(s), static_cast<sockaddr*>(address), length);
}

int Receive(Handle s, std::uint8_t* buffer, int length, int flags) {
    return ::recv(Native(s), reinterpret_cast<char*>(buffer), length, flags);
}

int Send(Handle s, const std::uint8_t* buffer, int length, int flags) {
    return ::send(Native(s), reinterpret_cast<const char*>(buffer), length, flags);
}

int Shutdown(Handle s, int how) {
    return ::shutdown(Native(s), how);
}

int Close(Handle s) {
    return ::closesocket(Native(s));
}

int ResetError(Handle s) {
    // Sending nothing sends nothing, but fails on a connection that was broken off.
    const char nothing = 0;
    if (::send(Native(s), &nothing, 0, 0) != SOCKET_ERROR) {
        return 0;
    }
    const int error = ::WSAGetLastError();
    return error == WSAECONNRESET || error == WSAECONNABORTED ? error : 0;
}

int AsyncSelect(Handle s, void* window, unsigned message, long events) {
    return ::WSAAsyncSelect(Native(s), static_cast<HWND>(window), message, events);
}

int HostName(char* name, int length) {
    return ::gethostname(name, length);
}

std::optional<Host> HostByName(const std::string& name) {
    return Copy(::gethostbyname(name.c_str()));
}

std::optional<Host> HostByAddress(std::uint32_t address) {
    return Copy(::gethostbyaddr(reinterpret_cast<const char*>(&address), sizeof address, AF_INET));
}

std::uint32_t InetAddr(const std::string& text) {
    return ::inet_addr(text.c_str());
}

} // namespace win_sockets
