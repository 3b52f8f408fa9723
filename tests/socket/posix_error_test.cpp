#include "socket/posix_error.h"

#include "socket/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <netdb.h>

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

TEST(PosixError, NumbersTheWindowComparesOrShows) {
    struct Case {
        int status; // a resolver result, or 0 with errno in err
        int err;
        int number;
    };
    const Case cases[] = {
        {0, ECONNREFUSED, winsock::WSAECONNREFUSED}, {0, ECONNRESET, winsock::WSAECONNRESET},
        {0, EPIPE, winsock::WSAECONNRESET},          {0, EINTR, winsock::WSAEINTR},
        {0, ETIMEDOUT, winsock::WSAETIMEDOUT},       {EAI_NONAME, 0, winsock::WSAHOST_NOT_FOUND},
        {EAI_AGAIN, 0, winsock::WSATRY_AGAIN},       {EAI_FAIL, 0, winsock::WSANO_RECOVERY},
        {EAI_NODATA, 0, winsock::WSANO_DATA},        {EAI_SYSTEM, ENOMEM, winsock::WSAENOBUFS},
        {EAI_SYSTEM, 0, winsock::WSANO_RECOVERY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "status " << c.status << ", errno " << c.err);
        const int number = c.status != 0 ? posix_error::FromResolver(c.status, c.err)
                                         : posix_error::FromErrno(c.err);
        EXPECT_EQ(number, c.number);
    }
}

} // namespace
