#include "tests/e2e/session_fixture.h"

#include <cstdlib>
#include <sstream>

namespace {

TestCertificates& Certificates() {
    static TestCertificates certificates;
    return certificates;
}

const TestCertificates::Pair& Identity(SessionLink link) {
    return link == SessionLink::TlsTrusted ? Certificates().Server() : Certificates().SelfSigned();
}

NgircdServer::Options WithLink(NgircdServer::Options options, SessionLink link) {
    if (link != SessionLink::Plain) {
        options.Tls = Identity(link);
        options.DhParameters = Certificates().DhParameters();
    }
    return options;
}

} // namespace

SessionFixture::SessionFixture(NgircdServer::Options options, PrivateServer privateServer,
                               SessionLink link)
    : server(WithLink(std::move(options), link)), m_privateServer(privateServer), m_link(link) {}

void SessionFixture::SetUp() {
    if (m_link != SessionLink::Plain) {
        ASSERT_TRUE(Certificates().Made()) << Certificates().Error();
        ::setenv("SSL_CERT_FILE", Certificates().Ca().c_str(), 1);
    }
    if (m_privateServer == PrivateServer::Start) {
        ASSERT_TRUE(server.Start()) << server.Error();
    }
    window = WindowDriver::Make();
}

void SessionFixture::TearDown() {
    ::unsetenv("SSL_CERT_FILE");
    if (!window) {
        return;
    }
    // Every entry carries its time; the blank entry stays last.
    const std::vector<std::string> entries = window->Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back(), " ");
    for (std::size_t index = 0; index + 1 < entries.size(); ++index) {
        EXPECT_TRUE(WindowDriver::IsTimedEntry(entries[index]))
            << "entry " << index << ": " << entries[index];
    }
    // The window closes before the server goes away.
    window.reset();
}

bool SessionFixture::Until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        window->Turn(WindowDriver::TurnLength);
        if (peer.IsOpen()) {
            peer.Poll();
        }
    }
    return true;
}

void SessionFixture::RunFor(std::chrono::milliseconds time) {
    Until([] { return false; }, time);
}

std::optional<std::size_t> SessionFixture::WaitForLogged(const Match& match, std::size_t from,
                                                         std::chrono::milliseconds timeout) {
    std::optional<std::size_t> found;
    Until([&] { return (found = window->FindLogged(match, from)).has_value(); }, timeout);
    return found;
}

std::optional<std::size_t> SessionFixture::WaitForLogged(const std::string& text, std::size_t from,
                                                         std::chrono::milliseconds timeout) {
    return WaitForLogged([&text](const std::string& logged) { return logged == text; }, from,
                         timeout);
}

std::optional<std::string> SessionFixture::WaitForPeerLine(const Match& match,
                                                           std::chrono::milliseconds timeout) {
    std::optional<std::string> found;
    Until(
        [&] {
            const auto& lines = peer.Lines();
            for (; m_peerLinesSeen < lines.size(); ++m_peerLinesSeen) {
                if (match(lines[m_peerLinesSeen])) {
                    found = lines[m_peerLinesSeen++];
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::string SessionFixture::HostText() const {
    switch (m_link) {
    case SessionLink::Plain:
        return server.HostAndPort();
    case SessionLink::TlsTrusted:
        return "127.0.0.1:+" + std::to_string(server.TlsPort());
    case SessionLink::TlsPinned:
        return "127.0.0.1:+" + std::to_string(server.TlsPort()) + "#" +
               Certificates().Fingerprint(Identity(m_link));
    }
    return "";
}

bool SessionFixture::ConnectWindow() {
    const std::string host = HostText();
    window->SetText("Txt_Host", host);
    window->Click("Cmd_Connect");
    const auto connected = WaitForLogged(host + "に接続しました");
    if (!connected || m_link == SessionLink::Plain) {
        return connected.has_value();
    }
    const std::string certificate = Certificates().Fingerprint(Identity(m_link));
    return WaitForLogged(
               [&certificate](const std::string& text) {
                   return text.starts_with("TLS 1.") &&
                          text.ends_with(" で暗号化しています（証明書 SHA-256 " + certificate +
                                         "）。");
               },
               *connected + 1)
        .has_value();
}

bool SessionFixture::RegisterWindow(const std::string& nick) {
    window->SetText("Txt_UserID", nick);
    window->SetText("Txt_RealName", "Hoshiwa end-to-end");
    window->SetText("Txt_NickName", nick);
    window->Click("Cmd_SetUser");
    window->Click("Cmd_SetNick");
    const std::string welcome = "<Recv> :" + server.Name() + " 001 " + nick + " :";
    return WaitForLogged([&welcome](const std::string& text) { return text.starts_with(welcome); })
        .has_value();
}

bool SessionFixture::ConnectPeer(const std::string& nick, const std::string& channel) {
    if (!peer.Connect(server.Port(), DefaultWait) || !peer.Register(nick, DefaultWait) ||
        !peer.Join(channel, DefaultWait)) {
        return false;
    }
    m_peerLinesSeen = peer.Lines().size();
    return true;
}

void SessionFixture::ExpectDisconnectedLayout() const {
    EXPECT_TRUE(window->Visible("Cmd_Connect"));
    EXPECT_FALSE(window->Visible("Cmd_Disconnect"));
    EXPECT_TRUE(window->Visible("Cmd_Join"));
    EXPECT_FALSE(window->Visible("Cmd_Part"));
}

std::string SessionFixture::Log() const {
    std::ostringstream log;
    log << "log:\n";
    for (const std::string& entry : window->Entries()) {
        log << "  " << entry << "\n";
    }
    return log.str();
}
