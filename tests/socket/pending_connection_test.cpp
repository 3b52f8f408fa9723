// The rules of the one connection on offer: one at a time, adopted only by its own id and only
// once, closed when nobody adopted it.

#include "socket/pending_connection.h"
#include "tests/fakes/fake_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace winsock;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

TEST(PendingConnection, OneOfferAtATimeAdoptedOnceByItsOwnId) {
    const std::uint32_t address = FakePlatform::Address(10, 0, 0, 9);
    PendingConnection pending;
    EXPECT_FALSE(pending.Waiting());
    EXPECT_FALSE(pending.Adopt(INVALID_SOCKET));

    ASSERT_TRUE(pending.Offer(7, address, 40000));
    EXPECT_FALSE(pending.Offer(8, 0, 1)) << "one waits already";
    EXPECT_EQ(pending.PendingSocket(), 7);
    EXPECT_FALSE(pending.Adopt(8)) << "another id";
    EXPECT_TRUE(pending.Waiting());

    const auto peer = pending.Adopt(7);
    ASSERT_TRUE(peer);
    EXPECT_EQ(peer->address, address);
    EXPECT_EQ(peer->port, 40000);
    EXPECT_EQ(pending.PendingSocket(), INVALID_SOCKET);
    EXPECT_FALSE(pending.Adopt(7)) << "taken once";
}

TEST(PendingConnection, AnOfferNobodyAdoptedIsShutDownAndClosed) {
    FakePlatform fake;
    PendingConnection pending;
    EXPECT_FALSE(pending.CloseUnadopted(fake));
    EXPECT_THAT(fake.Calls, IsEmpty());

    pending.Offer(7, 0, 0);
    EXPECT_TRUE(pending.CloseUnadopted(fake));
    EXPECT_THAT(fake.Calls, ElementsAre("shutdown(7,2)", "closesocket(7)"));
    EXPECT_FALSE(pending.Waiting());

    pending.Offer(9, 0, 0);
    ASSERT_TRUE(pending.Adopt(9));
    fake.ClearCalls();
    EXPECT_FALSE(pending.CloseUnadopted(fake)) << "adopted: its new owner closes it";
    EXPECT_THAT(fake.Calls, IsEmpty());
}

} // namespace
