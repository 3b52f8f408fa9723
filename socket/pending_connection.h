#pragma once

#include "socket/platform.h"

#include <cstdint>
#include <optional>

// The one incoming connection on offer: accepted at the platform by a listening object, it waits
// for a closed object to adopt it while the listener's ConnectionRequest handler runs. An offer
// that nobody adopts is closed, so that an accepted socket never stays open without an owner.
class PendingConnection {
public:
    struct Peer {
        std::uint32_t address = 0; // network order
        std::int32_t port = 0;
    };

    // The handle on offer; INVALID_SOCKET while none waits.
    winsock::SOCKET PendingSocket() const { return m_PendingSocket; }
    std::uint32_t PendingAddress() const { return m_PendingAddress; }
    std::int32_t PendingPort() const { return m_PendingPort; }
    bool Waiting() const { return m_PendingSocket != winsock::INVALID_SOCKET; }

    // Puts an accepted connection on offer; refused (false, nothing changes) while one waits.
    bool Offer(winsock::SOCKET accepted, std::uint32_t address, std::int32_t port);
    // Takes the offer when requestID names it, which empties the slot; nothing otherwise.
    std::optional<Peer> Adopt(winsock::SOCKET requestID);
    // Shuts down and closes the offer if it is still waiting; true when there was one to close.
    bool CloseUnadopted(winsock::Platform& platform);
    // Empties the slot without closing anything: the socket layer has just started.
    void Reset() { m_PendingSocket = winsock::INVALID_SOCKET; }

private:
    winsock::SOCKET m_PendingSocket = winsock::INVALID_SOCKET;
    std::uint32_t m_PendingAddress = 0;
    std::int32_t m_PendingPort = 0;
};
