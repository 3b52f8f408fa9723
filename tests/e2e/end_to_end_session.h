#pragma once

#include "tests/e2e/session_fixture.h"

#include <string>

// A whole session through the window's own handlers, by each link the program instantiates it
// for: a peer and the window in one channel of a private server whose pings come quickly.

inline const std::string Channel = "#hoshiwa";
inline const std::string Nick = "hoshiwa";
inline const std::string PeerNick = "peer";

inline NgircdServer::Options QuickPings() {
    NgircdServer::Options options;
    options.PingTimeout = 5;
    options.PongTimeout = 5;
    return options;
}

inline std::string LinkName(const ::testing::TestParamInfo<SessionLink>& info) {
    switch (info.param) {
    case SessionLink::Plain:
        return "Plain";
    case SessionLink::TlsTrusted:
        return "Trusted";
    case SessionLink::TlsPinned:
        return "Pinned";
    }
    return "";
}

class EndToEndSession : public SessionFixture, public ::testing::WithParamInterface<SessionLink> {
protected:
    EndToEndSession() : SessionFixture(QuickPings(), PrivateServer::Start, GetParam()) {}

    void SetUp() override {
        SessionFixture::SetUp();
        ASSERT_TRUE(ConnectPeer(PeerNick, Channel));
        ASSERT_TRUE(ConnectWindow()) << Log();
        ASSERT_TRUE(RegisterWindow(Nick)) << Log();
        window->SetText("Txt_Ch", Channel);
        window->Click("Cmd_Join");
        ASSERT_TRUE(WaitForPeerLine([](const std::string& line) {
            return line.starts_with(":" + Nick + "!") && RawIrcClient::CommandOf(line) == "JOIN";
        })) << "the peer never saw the window join";
    }

    // What the window logs for a channel message from the peer.
    static bool IsPeerMessage(const std::string& logged, const std::string& text) {
        return logged.starts_with("<Recv> :" + PeerNick + "!") &&
               logged.ends_with(" PRIVMSG " + Channel + " :" + text);
    }
    static bool IsPeerMessageLine(const std::string& logged) {
        return logged.starts_with("<Recv> :" + PeerNick + "!") &&
               logged.find(" PRIVMSG " + Channel + " :") != std::string::npos;
    }
};
