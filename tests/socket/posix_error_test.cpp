#include "socket/posix_error.h"

#include "socket/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

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

} // namespace
