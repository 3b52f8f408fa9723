#pragma once

#include "socket/platform.h"

#include <optional>
#include <string>

// Host names and addresses through the system's resolver (getaddrinfo, getnameinfo). Stateless:
// each call stands alone; a failure sets the thread's last error to a Windows Sockets number.
namespace posix_resolver {

// Writes the NUL-terminated local host name into name[0..namelen); 0, or SOCKET_ERROR.
int GetHostName(char* name, int namelen);
// The official name and IPv4 addresses of a name or dotted text ("" is the local host).
std::optional<winsock::HostEnt> GetHostByName(const std::string& name);
// The official name of an IPv4 address in network order.
std::optional<winsock::HostEnt> GetHostByAddr(std::uint32_t addr, int len, int type);

} // namespace posix_resolver
