#pragma once

#include "socket/platform.h"

#include <netinet/in.h>

// The 16-byte IPv4 socket address record of the socket calls, and the system's sockaddr_in.
namespace posix_address_record {

sockaddr_in ToSockaddr(const winsock::SockAddrIn& name);
winsock::SockAddrIn FromSockaddr(const sockaddr_in& sa);
// The record arguments of bind, connect, accept and getsockname: 0, or SOCKET_ERROR with the
// last error set (a record too short, or of another family than IPv4).
int CheckAddressLength(int namelen);
int CheckPeerAddress(const winsock::SockAddrIn& name, int namelen);

} // namespace posix_address_record
