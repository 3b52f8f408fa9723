#pragma once

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

// Whether this machine's own resolver knows "localhost" both ways. A bare container may have no
// hosts file; the look-up tests then have nothing to check against.
inline bool SystemResolverKnowsLocalhost() {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo("localhost", nullptr, &hints, &found) != 0) {
        return false;
    }
    ::freeaddrinfo(found);
    sockaddr_in loopback{};
    loopback.sin_family = AF_INET;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    char name[NI_MAXHOST];
    return ::getnameinfo(reinterpret_cast<const sockaddr*>(&loopback), sizeof loopback, name,
                         sizeof name, nullptr, 0, NI_NAMEREQD) == 0;
}
