#include "socket/pending_connection.h"

using namespace winsock;

bool PendingConnection::Offer(SOCKET accepted, std::uint32_t address, std::int32_t port) {
    if (Waiting() || accepted == INVALID_SOCKET) {
        return false;
    }
    m_PendingAddress = address;
    m_PendingPort = port;
    m_PendingSocket = accepted;
    return true;
}

std::optional<PendingConnection::Peer> PendingConnection::Adopt(SOCKET requestID) {
    if (!Waiting() || requestID != m_PendingSocket) {
        return std::nullopt;
    }
    m_PendingSocket = INVALID_SOCKET;
    return Peer{m_PendingAddress, m_PendingPort};
}

bool PendingConnection::CloseUnadopted(winsock::Platform& platform) {
    if (!Waiting()) {
        return false;
    }
    const SOCKET offered = m_PendingSocket;
    m_PendingSocket = INVALID_SOCKET;
    platform.shutdown(offered, SD_BOTH);
    platform.closesocket(offered);
    return true;
}
