#include "tests/e2e/iconv_text.h"
#include "tests/e2e/ngircd_server.h"
#include "tests/e2e/raw_irc_client.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

// The end-to-end tests rely on this harness: a private server that starts, carries bytes
// unchanged between clients, and goes away without a trace.
namespace {

using std::chrono::milliseconds;
constexpr auto Wait = RawIrcClient::DefaultTimeout;

TEST(NgircdHarness, ConfigurationPassesTheServersOwnCheckWithoutWarnings) {
    NgircdServer server;
    const std::string output = server.ConfigTest();
    ASSERT_NE(output.find("Ok, dump of your server configuration follows"), std::string::npos)
        << output;
    // ngircd lists each problem it finds as " - <problem>" before the dump.
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_FALSE(line.starts_with(" - ")) << line;
    }
}

TEST(NgircdHarness, StopsTheServerAndRemovesItsFolder) {
    std::filesystem::path folder;
    int port = 0;
    {
        NgircdServer server;
        ASSERT_TRUE(server.Start()) << server.Error();
        folder = server.ConfigFile().parent_path();
        port = server.Port();
        RawIrcClient probe;
        ASSERT_TRUE(probe.Connect(port, Wait));
        server.Stop();
        EXPECT_FALSE(server.Running());
        EXPECT_TRUE(probe.WaitForClose(Wait)) << "the server's connections end with it";
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    RawIrcClient late;
    EXPECT_FALSE(late.Connect(port, Wait)) << "nothing listens on " << port << " any more";
}

// The process id of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

TEST(NgircdHarness, FoldersLeftByEndedRunsGoWhenTheNextServerStarts) {
    const auto temp = std::filesystem::temp_directory_path();
    const struct {
        const char* name;
        std::filesystem::path folder;
        bool stays;
    } cases[] = {
        {"ended owner", temp / ("hoshiwa-ngircd-" + std::to_string(EndedProcess()) + "-ended"),
         false},
        {"running owner", temp / ("hoshiwa-ngircd-" + std::to_string(::getpid()) + "-running"),
         true},
        {"not a harness folder", temp / "hoshiwa-ngircd-notes", true},
    };
    for (const auto& c : cases) {
        std::filesystem::create_directories(c.folder / "conf.d");
    }
    NgircdServer server;
    ASSERT_TRUE(server.Start()) << server.Error();
    for (const auto& c : cases) {
        EXPECT_EQ(std::filesystem::exists(c.folder), c.stays) << c.name;
        std::filesystem::remove_all(c.folder);
    }
}

TEST(NgircdHarness, ChannelMessageReachesTheOtherMemberByteForByte) {
    NgircdServer server;
    ASSERT_TRUE(server.Start()) << server.Error();
    RawIrcClient alice;
    RawIrcClient bob;
    ASSERT_TRUE(alice.Connect(server.Port(), Wait));
    ASSERT_TRUE(bob.Connect(server.Port(), Wait));
    ASSERT_TRUE(alice.Register("alice", Wait));
    ASSERT_TRUE(bob.Register("bob", Wait));
    ASSERT_TRUE(alice.Join("#hoshiwa", Wait));
    ASSERT_TRUE(bob.Join("#hoshiwa", Wait));

    // Escape bytes, Shift_JIS lead bytes and a backslash trail byte all pass the server untouched.
    const std::string jis = IconvText::ToIso2022Jp("こんにちは、世界 abc");
    const std::string sjis = IconvText::ToShiftJis("表示ソ\\");
    for (const std::string& text : {jis, sjis}) {
        ASSERT_TRUE(alice.SendLine("PRIVMSG #hoshiwa :" + text));
        const auto line = bob.WaitForCommand("PRIVMSG", Wait);
        ASSERT_TRUE(line.has_value());
        EXPECT_EQ(RawIrcClient::TrailingOf(*line), text);
        EXPECT_TRUE(line->starts_with(":alice!")) << *line;
    }
}

TEST(NgircdHarness, QuitEndsWithTheServersClosingLine) {
    NgircdServer server;
    ASSERT_TRUE(server.Start()) << server.Error();
    RawIrcClient client;
    ASSERT_TRUE(client.Connect(server.Port(), Wait));
    ASSERT_TRUE(client.Register("quitter", Wait));
    ASSERT_TRUE(client.SendLine("QUIT :bye"));
    const auto closing = client.WaitForCommand("ERROR", Wait);
    ASSERT_TRUE(closing.has_value());
    EXPECT_TRUE(client.WaitForClose(Wait));
}

} // namespace
