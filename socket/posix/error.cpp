#include "socket/posix/error.h"

#include "socket/platform.h"

#include <cerrno>
#include <netdb.h>

namespace posix_error {

namespace {

thread_local int t_lastError = 0;

} // namespace

int FromErrno(int err) {
    using namespace winsock;
    switch (err) {
    case 0:
        return 0;
    case EINTR:
        return WSAEINTR;
    case EACCES: // a privileged port, or a firewall
    case EPERM:
        return WSAEADDRNOTAVAIL;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL: // the socket's state does not allow the call
        return ErrorInvalidState;
    case EMFILE: // descriptors run out: a resource of the system, as buffers are
    case ENFILE:
        return WSAENOBUFS;
    case EAGAIN:
    case EINPROGRESS:
        return WSAEWOULDBLOCK;
    case EALREADY:
        return WSAEALREADY;
    case ENOTSOCK:
    case EBADF:
        return WSAENOTSOCK;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EPROTONOSUPPORT:
    case ESOCKTNOSUPPORT:
    case EPROTOTYPE:
    case EOPNOTSUPP:
    case EAFNOSUPPORT:
        return WSAEPROTONOSUPPORT;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ENETRESET:
        return WSAENETRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE:
        return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EISCONN:
        return WSAEISCONN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ESHUTDOWN:
        return WSAESHUTDOWN;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return WSAEHOSTUNREACH;
    default:
        return WSAENETDOWN;
    }
}

int FromResolver(int status, int savedErrno) {
    using namespace winsock;
    switch (status) {
    case 0:
        return 0;
    case EAI_NONAME:
        return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    case EAI_FAIL:
        return WSANO_RECOVERY;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
        return WSANO_DATA;
    case EAI_FAMILY:
        return WSANO_DATA;
    case EAI_MEMORY:
        return WSAENOBUFS;
    case EAI_SYSTEM:
        return savedErrno != 0 ? FromErrno(savedErrno) : WSANO_RECOVERY;
    default:
        return WSANO_RECOVERY;
    }
}

int LastError() {
    return t_lastError;
}

int Fail(int error) {
    t_lastError = error;
    return winsock::SOCKET_ERROR;
}

int FailErrno() {
    return Fail(FromErrno(errno));
}

bool IsConnectOutcome(int err) {
    switch (err) {
    case ECONNREFUSED:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ETIMEDOUT:
    case ECONNRESET:
        return true;
    default:
        return false;
    }
}

bool EndsConnection(int err) {
    return err == ECONNRESET || err == ETIMEDOUT || err == ECONNABORTED || err == ENETRESET;
}

} // namespace posix_error
