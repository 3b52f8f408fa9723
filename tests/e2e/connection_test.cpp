#include "tests/e2e/loopback_listener.h"
#include "tests/e2e/session_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

// The life of the connection against a real server: connecting, disconnecting, the server going
// away, refused and malformed targets, and a second Connect while an attempt is pending.
namespace {

using std::chrono::milliseconds;
constexpr milliseconds QuietTime{1000};

const std::string Connected = "に接続しました";
const std::string CannotConnect = "エラー：ホストに接続できません。";

class EndToEndConnection : public SessionFixture {
protected:
    bool AnyLogged(const std::string& fragment) const {
        return window
            ->FindLogged(
                [&](const std::string& text) { return text.find(fragment) != std::string::npos; })
            .has_value();
    }
};

TEST_F(EndToEndConnection, ConnectLogsTheHostAndShowsDisconnectThenDisconnectRestoresTheLayout) {
    ASSERT_TRUE(ConnectWindow()) << Log();
    EXPECT_TRUE(window->Visible("Cmd_Disconnect"));
    EXPECT_FALSE(window->Visible("Cmd_Connect"));

    window->Click("Cmd_Join");
    window->Click("Cmd_Disconnect");
    EXPECT_EQ(window->LoggedTexts().back(), "接続を切断しました。") << Log();
    ExpectDisconnectedLayout();

    // Nothing arrives for a closed connection, and nothing else is logged.
    const std::size_t logged = LoggedCount();
    RunFor(QuietTime);
    EXPECT_EQ(LoggedCount(), logged) << Log();
}

TEST_F(EndToEndConnection, ServerGoingAwayIsLoggedAndRestoresTheLayout) {
    ASSERT_TRUE(ConnectWindow()) << Log();
    ASSERT_TRUE(RegisterWindow("leaver")) << Log();
    window->SetText("Txt_Ch", "#hoshiwa");
    window->Click("Cmd_Join");
    ASSERT_TRUE(WaitForLogged([](const std::string& text) {
        return text.starts_with("<Recv> :leaver!") && text.ends_with(" JOIN :#hoshiwa");
    })) << Log();
    ASSERT_TRUE(window->Visible("Cmd_Part"));

    server.Stop();
    const auto closed = WaitForLogged("接続が切断されました。");
    ASSERT_TRUE(closed) << Log();
    EXPECT_EQ(*closed + 1, LoggedCount()) << "the close is the last entry\n" << Log();
    ExpectDisconnectedLayout();

    // A message typed now cannot go out: the user is told, and keeps the text.
    window->SetText("Txt_SendMsg", "届かない");
    window->PressEnter();
    EXPECT_EQ(window->LoggedTexts().back(), "エラー：接続されていません。") << Log();
    EXPECT_EQ(window->Text("Txt_SendMsg"), "届かない");

    // The socket was given up: a new attempt starts, and finds nobody.
    window->Click("Cmd_Connect");
    EXPECT_TRUE(WaitForLogged(CannotConnect, *closed)) << Log();
}

struct UnreachableCase {
    const char* name;
    std::function<std::string(const NgircdServer&)> host;
    std::string logged;
};

TEST_F(EndToEndConnection, UnreachableOrMalformedTargetsAreLoggedAndNothingConnects) {
    const UnreachableCase cases[] = {
        {"closed port",
         [](const NgircdServer&) {
             return "127.0.0.1:" + std::to_string(NgircdServer::FreePort());
         },
         CannotConnect},
        // A lenient port reading would take the server's port from these and connect.
        {"port with trailing text", [](const NgircdServer& s) { return s.HostAndPort() + "x"; },
         "エラー：ポート番号が正しくありません。"},
        {"empty port", [](const NgircdServer&) { return std::string("127.0.0.1:"); },
         "エラー：ポート番号が正しくありません。"},
        {"port beyond 32 bits",
         [](const NgircdServer& s) { return s.HostAndPort() + "0000000000"; },
         "エラー：ポート番号が正しくありません。"},
    };
    for (const UnreachableCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = LoggedCount();
        window->SetText("Txt_Host", c.host(server));
        window->Click("Cmd_Connect");
        const auto error = WaitForLogged(c.logged, before);
        ASSERT_TRUE(error) << Log();
        RunFor(milliseconds(300));
        EXPECT_EQ(LoggedCount(), *error + 1) << "nothing follows the error\n" << Log();
        EXPECT_FALSE(AnyLogged(Connected)) << Log();
        ExpectDisconnectedLayout();
    }
}

TEST_F(EndToEndConnection, SecondConnectAbandonsTheAttemptAndANewOneStillWorks) {
    window->SetText("Txt_Host", server.HostAndPort());
    // No turn of the event loop between the clicks: the first attempt is still pending.
    window->Click("Cmd_Connect");
    window->Click("Cmd_Connect");
    ASSERT_FALSE(window->LoggedTexts().empty()) << Log();
    EXPECT_EQ(window->LoggedTexts().back(), CannotConnect) << Log();
    RunFor(QuietTime);
    EXPECT_FALSE(AnyLogged(Connected)) << "the abandoned attempt must not complete\n" << Log();
    ExpectDisconnectedLayout();

    // What the abandoned attempt left behind must not confuse the next one.
    ASSERT_TRUE(ConnectWindow()) << Log();
    EXPECT_TRUE(RegisterWindow("again")) << Log();
}

// A listener whose accept queue is full: the kernel drops further SYNs, so a connection attempt to
// it stays pending for seconds.
class FullListener {
public:
    FullListener() : m_listener(0) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(m_listener.Port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // Fill the queue until a connect no longer completes at once.
        constexpr int MaxFillers = 16;
        for (int filler = 0; filler < MaxFillers && m_listener.Listening(); ++filler) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            m_fillers.push_back(fd);
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            pollfd entry{fd, POLLOUT, 0};
            if (::poll(&entry, 1, 200) == 0) {
                m_Full = true;
                return;
            }
        }
    }
    ~FullListener() {
        for (const int fd : m_fillers) {
            ::close(fd);
        }
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    int Port() const { return m_listener.Port(); }
    bool Full() const { return m_Full; }

private:
    LoopbackListener m_listener;
    bool m_Full = false;
    std::vector<int> m_fillers;
};

TEST_F(EndToEndConnection, ConnectPressedAgainAbandonsAnAttemptThatStaysPending) {
    FullListener listener;
    ASSERT_TRUE(listener.Full()) << "the listener's queue could not be filled";
    window->SetText("Txt_Host", "127.0.0.1:" + std::to_string(listener.Port()));
    window->Click("Cmd_Connect");
    RunFor(QuietTime);
    EXPECT_TRUE(window->LoggedTexts().empty()) << "the attempt is still pending\n" << Log();
    EXPECT_TRUE(window->Visible("Cmd_Connect"));
    EXPECT_FALSE(window->Visible("Cmd_Disconnect"));

    window->Click("Cmd_Connect");
    ASSERT_FALSE(window->LoggedTexts().empty()) << Log();
    EXPECT_EQ(window->LoggedTexts().back(), CannotConnect) << Log();
    RunFor(QuietTime);
    EXPECT_EQ(LoggedCount(), 1u) << Log();
    ExpectDisconnectedLayout();
}

} // namespace
