#include "socket/posix/resolver.h"

#include "socket/posix/error.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

using namespace winsock;
using posix_error::Fail;
using posix_error::FailErrno;

namespace posix_resolver {

namespace {

std::string LowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

// Names in the "invalid" domain never resolve; answering at once spares the window thread a wait
// on the name service.
bool IsInvalidDomain(const std::string& name) {
    std::string lower = LowerAscii(name);
    if (!lower.empty() && lower.back() == '.') {
        lower.pop_back();
    }
    constexpr std::string_view suffix = ".invalid";
    return lower == "invalid" || (lower.size() > suffix.size() && lower.ends_with(suffix));
}

} // namespace

int GetHostName(char* name, int namelen) {
    if (name == nullptr || namelen <= 0) {
        return Fail(WSAEFAULT);
    }
    std::array<char, HOST_NAME_MAX + 1> local{};
    if (::gethostname(local.data(), local.size() - 1) != 0) {
        return FailErrno();
    }
    const std::size_t length = std::strlen(local.data());
    if (length + 1 > static_cast<std::size_t>(namelen)) {
        return Fail(WSAEFAULT);
    }
    std::memcpy(name, local.data(), length + 1);
    return 0;
}

std::optional<HostEnt> GetHostByName(const std::string& name) {
    std::string host = name;
    // An empty name is the local host.
    if (host.empty()) {
        std::array<char, HOST_NAME_MAX + 1> local{};
        if (::gethostname(local.data(), local.size() - 1) != 0) {
            FailErrno();
            return std::nullopt;
        }
        host = local.data();
    }
    // A NUL inside the name would have the resolver look up only the part before it.
    if (host.find('\0') != std::string::npos || IsInvalidDomain(host)) {
        Fail(WSAHOST_NOT_FOUND);
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (status != 0) {
        Fail(posix_error::FromResolver(status, errno));
        return std::nullopt;
    }
    HostEnt ent;
    ent.h_name = (found->ai_canonname != nullptr) ? found->ai_canonname : host;
    for (const addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET || ai->ai_addrlen < sizeof(sockaddr_in)) {
            continue;
        }
        std::uint32_t address = 0;
        std::memcpy(&address, &reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr,
                    sizeof address);
        if (std::find(ent.h_addr_list.begin(), ent.h_addr_list.end(), address) ==
            ent.h_addr_list.end()) {
            ent.h_addr_list.push_back(address);
        }
    }
    ::freeaddrinfo(found);
    if (ent.h_addr_list.empty()) {
        Fail(WSANO_DATA);
        return std::nullopt;
    }
    return ent;
}

std::optional<HostEnt> GetHostByAddr(std::uint32_t addr, int len, int type) {
    if (len != static_cast<int>(sizeof addr)) {
        Fail(WSAEFAULT);
        return std::nullopt;
    }
    if (type != WS_AF_INET) {
        Fail(WSAEAFNOSUPPORT);
        return std::nullopt;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    std::memcpy(&sa.sin_addr, &addr, sizeof addr);
    std::array<char, NI_MAXHOST> host{};
    const int status = ::getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof sa, host.data(),
                                     host.size(), nullptr, 0, NI_NAMEREQD);
    if (status != 0) {
        Fail(posix_error::FromResolver(status, errno));
        return std::nullopt;
    }
    return HostEnt{host.data(), {addr}};
}

} // namespace posix_resolver
