#include "socket/tcp_sock_proc.h"

#include "socket/tcp_sock.h"
#include "tests/fakes/fake_platform.h"
#include "tests/socket/event_recorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

using namespace winsock;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const std::string StartUp = "WSAStartup(257)";
const std::string Register = "RegisterClassA(ClassCopy)";
const std::string Create = "CreateWindowExA(0,ClassCopy,,0,0,0,0,0,0,0,11,0)";
const std::string Destroy = "DestroyWindow(1)";
const std::string Unregister = "UnregisterClassA(ClassCopy,11)";
const std::string CleanUp = "WSACleanup()";

struct Flags {
    bool winsock, windowClass, window;
    bool operator==(const Flags&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Flags& f) {
    return out << "{winsock " << f.winsock << ", class " << f.windowClass << ", window " << f.window
               << "}";
}

class TCPSockProcTest : public ::testing::Test {
protected:
    FakePlatform fake;
    TCPSockProc proc{fake};

    Flags flags() const {
        return {proc.WinsockStarted(), proc.ClassRegistered(), proc.WindowCreated()};
    }
    // A registered object owning the next socket handle.
    std::shared_ptr<TCPSock> Opened(EventRecorder& events) {
        auto sock = std::make_shared<TCPSock>(proc);
        sock->SetEvents(&events);
        EXPECT_TRUE(sock->Bind(0));
        return sock;
    }
};

TEST_F(TCPSockProcTest, StartUpRegistersTheProcedureAndIsIdempotent) {
    proc.Pending().Offer(42, 0, 0);
    ASSERT_TRUE(proc.StartUpWindow());
    EXPECT_THAT(fake.Calls, ElementsAre(StartUp, Register, Create));
    EXPECT_EQ(flags(), (Flags{true, true, true}));
    EXPECT_EQ(proc.GetNotifyWindow(), FakePlatform::FirstWindow);
    EXPECT_EQ(proc.Pending().PendingSocket(), INVALID_SOCKET);

    fake.ClearCalls();
    EXPECT_TRUE(proc.StartUpWindow());
    EXPECT_THAT(fake.Calls, IsEmpty());

    // The registered procedure is NotifyWindowProc: an unknown message only gets default
    // processing.
    EXPECT_EQ(fake.Notify(99, FD_READ), 0);
    EXPECT_THAT(fake.Calls, ElementsAre("DefWindowProcA(1,1024,99,1)"));
}

TEST_F(TCPSockProcTest, StartUpUndoesWhatSucceededWhenAStepFails) {
    struct Case {
        const char* call;
        int result;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"WSAStartup", WSANOTINITIALISED, {StartUp, Register, Create, Destroy, Unregister}},
        // Without a class the window cannot be made either.
        {"RegisterClassA", 0, {StartUp, Register, Create, CleanUp}},
        {"CreateWindowExA", 0, {StartUp, Register, Create, Unregister, CleanUp}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        FakePlatform fake;
        TCPSockProc proc{fake};
        proc.Pending().Offer(42, 0, 0);
        fake.Script(c.call, c.result);
        EXPECT_FALSE(proc.StartUpWindow());
        EXPECT_EQ(fake.Calls, c.calls);
        EXPECT_FALSE(proc.WinsockStarted() || proc.ClassRegistered() || proc.WindowCreated());
        EXPECT_EQ(proc.GetNotifyWindow(), 0);
        EXPECT_FALSE(fake.ClassIsRegistered());
        EXPECT_EQ(proc.Pending().PendingSocket(),
                  c.call == std::string("WSAStartup") ? 42 : INVALID_SOCKET);
        // The failed step can be retried.
        EXPECT_TRUE(proc.StartUpWindow());
    }
}

TEST_F(TCPSockProcTest, CleanUpKeepsTheFlagOfEachStepThatFails) {
    struct Case {
        const char* call;
        int result;
        Flags after;
    };
    const Case cases[] = {
        // A window that was not destroyed also keeps its class registered.
        {"DestroyWindow", 0, {false, true, true}},
        {"UnregisterClassA", 0, {false, true, false}},
        {"WSACleanup", SOCKET_ERROR, {true, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        FakePlatform fake;
        TCPSockProc proc{fake};
        ASSERT_TRUE(proc.StartUpWindow());
        fake.ClearCalls();
        fake.Script(c.call, c.result);
        EXPECT_FALSE(proc.CleanUpWindow());
        EXPECT_THAT(fake.Calls, ElementsAre(Destroy, Unregister, CleanUp));
        EXPECT_EQ((Flags{proc.WinsockStarted(), proc.ClassRegistered(), proc.WindowCreated()}),
                  c.after);
        EXPECT_EQ(proc.GetNotifyWindow(), 0);
    }
}

TEST_F(TCPSockProcTest, CleanUpWithNothingSetUpCallsNothing) {
    EXPECT_TRUE(proc.CleanUpWindow());
    EXPECT_THAT(fake.Calls, IsEmpty());
}

TEST_F(TCPSockProcTest, SocketListKeysAreHandlesWithASignPosition) {
    ASSERT_TRUE(proc.StartUpWindow());
    EventRecorder events;
    fake.Script("socket", 0);
    auto zero = Opened(events);
    auto five = Opened(events);
    auto closed = std::make_shared<TCPSock>(proc);
    proc.RegisterSocket(closed);
    std::vector<std::string> keys;
    for (const auto& entry : proc.SocketList()) {
        keys.push_back(entry.first);
    }
    EXPECT_THAT(keys, ElementsAre(" 0", " 5", "-1"));
    proc.UnregisterSocket(*five);
    EXPECT_EQ(proc.SocketList().size(), 2u);
    EXPECT_EQ(proc.SocketList()[1].second, closed);
}

TEST_F(TCPSockProcTest, DispatchReachesOnlyTheOwnerOfTheHandle) {
    ASSERT_TRUE(proc.StartUpWindow());
    EventRecorder first, second;
    auto a = Opened(first);  // 5
    auto b = Opened(second); // 6
    fake.ClearCalls();

    fake.Notify(6, FD_CLOSE);
    EXPECT_THAT(first.Events, IsEmpty());
    EXPECT_THAT(second.Events, ElementsAre("CloseTCP"));
    EXPECT_THAT(fake.Calls, ElementsAre("DefWindowProcA(1,1024,6,32)"));

    fake.ClearCalls();
    fake.Notify(77, FD_CLOSE);
    EXPECT_THAT(fake.Calls, ElementsAre("DefWindowProcA(1,1024,77,32)"));

    fake.Script("DefWindowProcA", 1234);
    EXPECT_EQ(proc.NotifyWindowProc(1, WM_SOCKET_NOTIFY + 1, 5, FD_CLOSE), 1234);
    EXPECT_THAT(first.Events, IsEmpty());
    EXPECT_EQ(second.Events.size(), 1u);
}

TEST_F(TCPSockProcTest, DispatchStopsAfterAHandlerThatChangedTheList) {
    ASSERT_TRUE(proc.StartUpWindow());
    EventRecorder firstEvents, secondEvents;
    auto first = Opened(firstEvents);
    const SOCKET handle = first->GetHandle();
    auto second = std::make_shared<TCPSock>(proc);
    second->SetEvents(&secondEvents);
    std::weak_ptr<TCPSock> watch = first;
    bool aliveInHandler = false;
    firstEvents.OnEvent = [&](const std::string&) {
        // The owner lets go and closes; the handle number is reused at once by another object,
        // which goes to the end of the list.
        first.reset();
        watch.lock()->CloseTCP();
        fake.Script("socket", handle);
        ASSERT_TRUE(second->Bind(0));
        aliveInHandler = !watch.expired();
    };
    fake.Notify(handle, FD_CLOSE);
    EXPECT_THAT(firstEvents.Events, ElementsAre("CloseTCP"));
    EXPECT_THAT(secondEvents.Events, IsEmpty());
    EXPECT_TRUE(aliveInHandler);
    EXPECT_TRUE(watch.expired());
}

TEST(TCPSockProcErrorText, EveryKnownNumberAndTheFallback) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {10004, "処理がキャンセルされました。"},
        {10014, "要求されたアドレスはブロードキャストアドレスですが、フラグが設定されていません。"},
        {10035, "ソケットはブロック化処理を行いませんが、指定された処理はブロック化を行います。"},
        {10036, "ブロック化を行う Winsock 処理が進行中です。"},
        {10037, "処理が完了しました。進行中のブロック化処理はありません。"},
        {10038, "記述子がソケットではありません。"},
        {10040, "データグラムが大きすぎてバッファ内に納まらず、切り詰められました。"},
        {10043, "指定したポートがサポートされていません。"},
        {10048, "アドレスが使用中です。"},
        {10049, "アドレスをローカルマシンから取得できません。"},
        {10050, "ネットワークサブシステムが失敗しました。"},
        {10051, "現時点ではこのホストからネットワークにアクセスできません。"},
        {10052, "SO_KEEPALIVE が設定されており、接続のタイムアウトが発生しました。"},
        {10053, "タイムアウトその他の不具合で接続処理が中止されました。"},
        {10054, "接続がリモート側のマシンからリセットされました。"},
        {10055, "使用できるバッファ領域がありません。"},
        {10056, "ソケットは既に接続されています。"},
        {10057, "ソケットは接続されていません。"},
        {10058, "ソケットは終了しています。"},
        {10060, "接続がタイムアウトしました。"},
        {10061, "接続が強制的に拒絶されました。"},
        {10065, "ホストへの経路がありません。"},
        {10093, "まず WinsockInit を呼び出す必要があります。"},
        {11001, "ホストが見つかりません。"},
        {11002, "非正式応答。ホストが見つかりません。"},
        {11003, "回復不能なエラーです。"},
        {11004, "名前は有効ですが、要求された型のデータレコードがありません。"},
        {40020, "現在の状態では不正な操作です。"},
        {0, "不明なエラー:  0"},
        {10059, "不明なエラー:  10059"},
        {12345, "不明なエラー:  12345"},
        {-7, "不明なエラー: -7"},
        {INT_MIN, "不明なエラー: -2147483648"},
    };
    for (const auto& [number, text] : cases) {
        EXPECT_EQ(TCPSockProc::GetErrorText(number), text) << "number " << number;
    }
}

TEST(TCPSockProcAddresses, AddressToTextWritesTheOctetsInMemoryOrder) {
    EXPECT_EQ(TCPSockProc::AddressToText(WS_INADDR_NONE), "255.255.255.255");
    EXPECT_EQ(TCPSockProc::AddressToText(0), "0.0.0.0");
    EXPECT_EQ(TCPSockProc::AddressToText(FakePlatform::Address(127, 0, 0, 1)), "127.0.0.1");
    EXPECT_EQ(TCPSockProc::AddressToText(FakePlatform::Address(10, 200, 3, 45)), "10.200.3.45");
}

TEST_F(TCPSockProcTest, ResolveHostLooksUpOnlyWhatIsNotDotted) {
    ASSERT_TRUE(proc.StartUpWindow());
    struct Case {
        std::string name;
        std::uint32_t address;
        std::vector<std::string> calls;
    };
    const std::string sjisName = "\x83\x7A\x83\x58\x83\x67"; // ホスト in CP932
    fake.Hosts[sjisName] = HostEnt{sjisName, {FakePlatform::Address(10, 0, 0, 7)}};
    const Case cases[] = {
        {"10.0.0.1", FakePlatform::Address(10, 0, 0, 1), {"inet_addr(10.0.0.1)"}},
        {"localhost",
         FakePlatform::Address(127, 0, 0, 1),
         {"inet_addr(localhost)", "gethostbyname(localhost)"}},
        {"ホスト",
         FakePlatform::Address(10, 0, 0, 7),
         {"inet_addr(" + sjisName + ")", "gethostbyname(" + sjisName + ")"}},
        {"nowhere.invalid",
         WS_INADDR_NONE,
         {"inet_addr(nowhere.invalid)", "gethostbyname(nowhere.invalid)"}},
        {"255.255.255.255",
         WS_INADDR_NONE,
         {"inet_addr(255.255.255.255)", "gethostbyname(255.255.255.255)"}},
    };
    for (const Case& c : cases) {
        fake.ClearCalls();
        EXPECT_EQ(TCPSockProc::AddressToText(proc.ResolveHost(c.name)),
                  TCPSockProc::AddressToText(c.address))
            << c.name;
        EXPECT_EQ(fake.Calls, c.calls) << c.name;
    }
}

TEST_F(TCPSockProcTest, ResolveAddressGivesTheNameAsTextCutAtItsEnd) {
    ASSERT_TRUE(proc.StartUpWindow());
    const std::uint32_t known = FakePlatform::Address(10, 0, 0, 2);
    const std::pair<std::string, std::string> cases[] = {
        {"irc.example", "irc.example"},
        {"\x83\x7A\x83\x58\x83\x67", "ホスト"},
        {std::string("short\0tail", 10), "short"},
        {std::string(300, 'a'), std::string(256, 'a')},
    };
    for (const auto& [official, expected] : cases) {
        fake.Names[known] = official;
        EXPECT_EQ(proc.ResolveAddress(known), expected);
    }
    EXPECT_EQ(proc.ResolveAddress(FakePlatform::Address(10, 9, 9, 9)), "");
}

} // namespace
