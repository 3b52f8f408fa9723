#include "socket/posix/address_record.h"

#include "socket/posix/error.h"

#include <cstring>

namespace posix_address_record {

using namespace winsock;
using posix_error::Fail;

sockaddr_in ToSockaddr(const SockAddrIn& name) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    std::memcpy(&sa.sin_port, name.sin_port.data(), sizeof sa.sin_port);
    std::memcpy(&sa.sin_addr, &name.sin_addr, sizeof sa.sin_addr);
    return sa;
}

SockAddrIn FromSockaddr(const sockaddr_in& sa) {
    SockAddrIn name;
    name.sin_family = WS_AF_INET;
    std::memcpy(name.sin_port.data(), &sa.sin_port, sizeof sa.sin_port);
    std::memcpy(&name.sin_addr, &sa.sin_addr, sizeof name.sin_addr);
    return name;
}

// The address record arguments of bind, connect, accept and getsockname.
int CheckAddressLength(int namelen) {
    return namelen < static_cast<int>(sizeof(SockAddrIn)) ? Fail(WSAEFAULT) : 0;
}

int CheckPeerAddress(const SockAddrIn& name, int namelen) {
    if (CheckAddressLength(namelen) != 0) {
        return SOCKET_ERROR;
    }
    return name.sin_family == WS_AF_INET ? 0 : Fail(WSAEAFNOSUPPORT);
}

} // namespace posix_address_record
