#pragma once

#include "tests/e2e/ngircd_server.h"
#include "tests/e2e/raw_irc_client.h"
#include "tests/e2e/window_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// How the window reaches the server: in plaintext, over TLS trusting the server's certificate
// through the test CA (OpenSSL's SSL_CERT_FILE), or over TLS with the server's self-signed
// certificate pinned in the host box.
enum class SessionLink { Plain, TlsTrusted, TlsPinned };

// A private server and the window under test, and a peer for the tests that need one. Every wait
// turns the window's event loop and reads the peer's lines, so that both keep answering the
// server's PINGs whoever is being waited for.
class SessionFixture : public ::testing::Test {
protected:
    using Match = std::function<bool(const std::string&)>;
    static constexpr std::chrono::milliseconds DefaultWait{10000};

    enum class PrivateServer { Start, None };

    explicit SessionFixture(NgircdServer::Options options = {},
                            PrivateServer privateServer = PrivateServer::Start,
                            SessionLink link = SessionLink::Plain);
    void SetUp() override;
    void TearDown() override;

    // Runs until done holds or the timeout passes; returns done().
    bool Until(const std::function<bool()>& done, std::chrono::milliseconds timeout = DefaultWait);
    // Runs for the given time whatever happens, for checks that something does not happen.
    void RunFor(std::chrono::milliseconds time);

    // Waits for a logged text (time removed) at or after index from.
    std::optional<std::size_t> WaitForLogged(const Match& match, std::size_t from = 0,
                                             std::chrono::milliseconds timeout = DefaultWait);
    std::optional<std::size_t> WaitForLogged(const std::string& text, std::size_t from = 0,
                                             std::chrono::milliseconds timeout = DefaultWait);
    // Waits for a line the peer receives after the last one this returned.
    std::optional<std::string> WaitForPeerLine(const Match& match,
                                               std::chrono::milliseconds timeout = DefaultWait);

    // The host box's text that reaches the server by the fixture's link.
    std::string HostText() const;
    // Fills the host box with the server and connects; false when the connection (and over TLS
    // its encryption) is not logged.
    bool ConnectWindow();
    // Registers the window with the server by its buttons; false when no welcome is logged.
    bool RegisterWindow(const std::string& nick);
    bool ConnectPeer(const std::string& nick, const std::string& channel);

    void ExpectDisconnectedLayout() const;
    // The window's log, one entry a line, for failure messages.
    std::string Log() const;
    std::size_t LoggedCount() const { return window->LoggedTexts().size(); }

    NgircdServer server;
    std::unique_ptr<WindowDriver> window;
    RawIrcClient peer;

private:
    PrivateServer m_privateServer;
    SessionLink m_link;
    std::size_t m_peerLinesSeen = 0;
};
