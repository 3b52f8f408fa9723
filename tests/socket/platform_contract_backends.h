#pragma once

// The layers the contract suite runs against.

#include "tests/fakes/fake_platform.h"
#include "tests/socket/platform_contract.h"

#include <gtest/gtest.h>

// The fake delivers everything that is due at once; nothing happens later by itself. A handler
// that posts on every delivery would keep it busy for ever, so the rounds are bounded.
struct FakePlatformContract {
    static constexpr int MaxRounds = 100000;

    using Backend = FakePlatform;
    static constexpr const char* Name = "Fake";
    static std::unique_ptr<Backend> Make() { return std::make_unique<FakePlatform>(); }
    static bool RunUntil(Backend& platform, const std::function<bool()>& done,
                         std::chrono::milliseconds) {
        for (int round = 0; round < MaxRounds && !done() && platform.Pump() > 0; ++round) {
        }
        return done();
    }
    static bool ResolverKnowsLocalhost() { return true; }
};

#ifndef _WIN32
#include "socket/posix/platform.h"
#include "tests/socket/system_resolver.h"
#include "tests/tls/tls_relay.h"

struct PosixPlatformContract {
    using Backend = PosixPlatform;
    static constexpr const char* Name = "Posix";
    static std::unique_ptr<Backend> Make() { return std::make_unique<PosixPlatform>(); }
    static bool RunUntil(Backend& platform, const std::function<bool()>& done,
                         std::chrono::milliseconds timeout) {
        return platform.RunUntil(done, timeout);
    }
    static bool ResolverKnowsLocalhost() { return SystemResolverKnowsLocalhost(); }
};

// The connected-socket cases once more with the layer's socket encrypted: its peer is reached
// through a TLS relay in front of the peer's listener, and the relay's certificate is pinned.
struct PosixTlsPlatformContract : PosixPlatformContract {
    static constexpr const char* Name = "PosixTls";
    static std::shared_ptr<void> Encrypt(Backend& platform, winsock::SOCKET s,
                                         std::uint16_t& port) {
        static TestCertificates certificates;
        TlsRelay::Options options;
        options.Identity = certificates.Server();
        options.TargetPort = port;
        auto relay = std::make_shared<TlsRelay>(options);
        EXPECT_TRUE(relay->Listening()) << certificates.Error();
        EXPECT_EQ(platform.SetTls(s, {"127.0.0.1", certificates.Digest(certificates.Server())}), 0);
        port = static_cast<std::uint16_t>(relay->Port());
        return relay;
    }
};

using PlatformContractBackends = ::testing::Types<FakePlatformContract, PosixPlatformContract>;
using ConnectedContractBackends =
    ::testing::Types<FakePlatformContract, PosixPlatformContract, PosixTlsPlatformContract>;
#else
#include "socket/win32/platform.h"
#include "tests/socket/wine_tls_relay.h"

// Resolver results come from the system; Windows always knows localhost.
struct WinPlatformContract {
    using Backend = WinPlatform;
    static constexpr const char* Name = "Windows";
    static std::unique_ptr<Backend> Make() { return std::make_unique<WinPlatform>(); }
    static bool RunUntil(Backend& platform, const std::function<bool()>& done,
                         std::chrono::milliseconds timeout) {
        return platform.RunUntil(done, timeout);
    }
    static bool ResolverKnowsLocalhost() { return true; }
};

// The connected-socket cases once more over Schannel, through a TLS relay in front of the peer's
// listener whose certificate is pinned.
struct WinTlsPlatformContract : WinPlatformContract {
    static constexpr const char* Name = "WindowsTls";
    static std::shared_ptr<void> Encrypt(Backend& platform, winsock::SOCKET s,
                                         std::uint16_t& port) {
        auto relay = std::make_shared<WineTlsRelay>(port);
        EXPECT_EQ(relay->Error(), "");
        EXPECT_EQ(platform.SetTls(s, {"127.0.0.1", relay->Fingerprint()}), 0);
        port = relay->Port();
        return relay;
    }
};

using PlatformContractBackends = ::testing::Types<FakePlatformContract, WinPlatformContract>;
using ConnectedContractBackends =
    ::testing::Types<FakePlatformContract, WinPlatformContract, WinTlsPlatformContract>;
#endif
