#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The Windows Sockets calls of the Windows platform layer, with plain types: the layer's own code
// uses the names of platform.h, several of which <winsock2.h> defines as macros. Results and
// error numbers are the system's own: -1 is SOCKET_ERROR, LastError() is WSAGetLastError().
namespace win_sockets {

using Handle = std::uintptr_t;
inline constexpr Handle InvalidHandle = ~Handle{0};

int Startup(std::uint16_t version);
int Cleanup();
int LastError();

Handle Open(int af, int type, int protocol);
int Bind(Handle s, const void* address, int length);
int Listen(Handle s, int backlog);
Handle Accept(Handle s, void* address, int* length);
int Connect(Handle s, const void* address, int length);
int LocalName(Handle s, void* address, int* length);
int Receive(Handle s, std::uint8_t* buffer, int length, int flags);
int Send(Handle s, const std::uint8_t* buffer, int length, int flags);
int Shutdown(Handle s, int how);
int Close(Handle s);
// WSAECONNRESET or WSAECONNABORTED when the connection was broken off, otherwise 0.
int ResetError(Handle s);
// Notifications about s go to the window as the message; wParam is s itself.
int AsyncSelect(Handle s, void* window, unsigned message, long events);

struct Host {
    std::string name;
    std::vector<std::uint32_t> addresses; // IPv4, network order
};
int HostName(char* name, int length);
std::optional<Host> HostByName(const std::string& name);
std::optional<Host> HostByAddress(std::uint32_t address);
std::uint32_t InetAddr(const std::string& text);

} // namespace win_sockets
