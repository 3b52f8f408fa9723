#include "socket/posix/error.h"

#include "socket/platform.h"
#include "socket/tcp_sock_proc.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <string>

namespace {

// The component treats the would-block number as "try later" and 0 as success: no other failure
// may turn into either, or an error would be lost.
TEST(PosixError, OnlyWouldBlockFailuresBecomeTheWouldBlockNumber) {
    for (int err = 1; err < 200; ++err) {
        SCOPED_TRACE(std::string(strerrordesc_np(err) ? strerrordesc_np(err) : "?") + " (" +
                     std::to_string(err) + ")");
        const int number = posix_error::FromErrno(err);
        EXPECT_NE(number, 0);
        EXPECT_EQ(number == winsock::WSAEWOULDBLOCK, err == EAGAIN || err == EINPROGRESS);
        EXPECT_GE(number, 10000);
    }
}

TEST(PosixError, ErrnoAndResolverResultsBecomeTheNumbersOfTheTable) {
    using namespace winsock;
    struct Case {
        const char* what;
        int number;
        int expected;
    };
    const Case cases[] = {
        {"EINTR", posix_error::FromErrno(EINTR), WSAEINTR},
        {"EAGAIN", posix_error::FromErrno(EAGAIN), WSAEWOULDBLOCK},
        {"ECONNREFUSED", posix_error::FromErrno(ECONNREFUSED), WSAECONNREFUSED},
        {"ECONNRESET", posix_error::FromErrno(ECONNRESET), WSAECONNRESET},
        {"EPIPE", posix_error::FromErrno(EPIPE), WSAECONNRESET},
        {"ETIMEDOUT", posix_error::FromErrno(ETIMEDOUT), WSAETIMEDOUT},
        {"EHOSTUNREACH", posix_error::FromErrno(EHOSTUNREACH), WSAEHOSTUNREACH},
        {"EADDRINUSE", posix_error::FromErrno(EADDRINUSE), WSAEADDRINUSE},
        // Numbers whose Windows Sockets counterpart has no text take the nearest worded one.
        {"EACCES", posix_error::FromErrno(EACCES), WSAEADDRNOTAVAIL},
        {"EPERM", posix_error::FromErrno(EPERM), WSAEADDRNOTAVAIL},
        {"EINVAL", posix_error::FromErrno(EINVAL), ErrorInvalidState},
        {"EMFILE", posix_error::FromErrno(EMFILE), WSAENOBUFS},
        {"ENFILE", posix_error::FromErrno(ENFILE), WSAENOBUFS},
        {"EOPNOTSUPP", posix_error::FromErrno(EOPNOTSUPP), WSAEPROTONOSUPPORT},
        {"EAFNOSUPPORT", posix_error::FromErrno(EAFNOSUPPORT), WSAEPROTONOSUPPORT},
        {"ENOSYS", posix_error::FromErrno(ENOSYS), WSAENETDOWN},
        {"EAI_NONAME", posix_error::FromResolver(EAI_NONAME, 0), WSAHOST_NOT_FOUND},
        {"EAI_AGAIN", posix_error::FromResolver(EAI_AGAIN, 0), WSATRY_AGAIN},
        {"EAI_FAIL", posix_error::FromResolver(EAI_FAIL, 0), WSANO_RECOVERY},
        {"EAI_NODATA", posix_error::FromResolver(EAI_NODATA, 0), WSANO_DATA},
        {"EAI_FAMILY", posix_error::FromResolver(EAI_FAMILY, 0), WSANO_DATA},
        {"EAI_SYSTEM, EMFILE", posix_error::FromResolver(EAI_SYSTEM, EMFILE), WSAENOBUFS},
        {"EAI_SYSTEM, no errno", posix_error::FromResolver(EAI_SYSTEM, 0), WSANO_RECOVERY},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.number, c.expected) << c.what;
    }
}

// An owner shows GetErrorText for every failure: a number without a text would reach the user as
// "不明なエラー".
TEST(PosixError, EveryTranslatedNumberHasAText) {
    const auto worded = [](int number) {
        return TCPSockProc::GetErrorText(number).rfind("不明なエラー", 0) == std::string::npos;
    };
    for (int err = 1; err < 200; ++err) {
        EXPECT_TRUE(worded(posix_error::FromErrno(err))) << "errno " << err;
    }
    for (int status :
         {EAI_AGAIN, EAI_BADFLAGS, EAI_FAIL, EAI_FAMILY, EAI_MEMORY, EAI_NONAME, EAI_SERVICE,
          EAI_SOCKTYPE, EAI_SYSTEM, EAI_OVERFLOW, EAI_NODATA, EAI_ADDRFAMILY}) {
        EXPECT_TRUE(worded(posix_error::FromResolver(status, 0))) << "status " << status;
        EXPECT_TRUE(worded(posix_error::FromResolver(status, ENFILE))) << "status " << status;
    }
}

} // namespace
