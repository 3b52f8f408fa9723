#pragma once

#include <cstdint>

// The five events a TCPSock raises to its owner, in their declared order. An event the owner does
// not override has no effect. Handlers run synchronously inside the socket's own dispatch and may
// call back into the socket (close it, read from it, send on it).
class TCPSockEvents {
public:
    virtual ~TCPSockEvents() = default;

    virtual void CloseTCP() {}
    virtual void ConnectTCP() {}
    virtual void ConnectionRequest(std::int32_t /*requestID*/) {}
    virtual void DataArrival(std::int32_t /*BytesTotal*/) {}
    virtual void Error(std::int32_t /*Number*/) {}
};
