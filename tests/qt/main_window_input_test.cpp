#include "client/qt/key_press_filter.h"
#include "tests/fakes/fake_platform.h"
#include "tests/qt/window_fixture.h"

#include <QMessageBox>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class MainWindowInput : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void Click(const char* name) { QTest::mouseClick(&Get<QPushButton>(name), Qt::LeftButton); }
    bool Shown(const char* name) { return Get<QPushButton>(name).isVisible(); }
    bool Logged(const QString& text) {
        for (int row = 0; row < Log().rowCount(); ++row) {
            if (Log().Entry(row).mid(9) == text) {
                return true;
            }
        }
        return false;
    }
};

// A loopback listener on a port the kernel picks; closed again when the test ends.
class Listener {
public:
    explicit Listener(bool listening) : m_fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        if (listening) {
            ::listen(m_fd, 1);
        }
    }
    ~Listener() { ::close(m_fd); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    QString HostText() const { return QString("127.0.0.1:%1").arg(m_port); }

private:
    int m_fd;
    int m_port = 0;
};

TEST_F(MainWindowInput, TypedKeysReachTheBoxAndEnterReachesTheWindow) {
    auto& box = Get<QLineEdit>("Txt_SendMsg");
    QTest::keyClicks(&box, "hello");
    EXPECT_EQ(box.text(), "hello");
    EXPECT_EQ(Log().rowCount(), 1) << "a key other than Enter sent something";

    QTest::keyClick(&box, Qt::Key_Return);
    ASSERT_EQ(Log().rowCount(), 2);
    EXPECT_EQ(Newest().mid(9), QString::fromUtf8("エラー：接続されていません。"));
    EXPECT_EQ(box.text(), "hello") << "a line that did not go out must stay in the box";

    QTest::keyClick(&box, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(Log().rowCount(), 3) << "the keypad's Enter is Enter too";
}

TEST_F(MainWindowInput, JoinAndPartSwapTheirButtonsOnceTheirLineWentOut) {
    Click("Cmd_Join");
    EXPECT_TRUE(Shown("Cmd_Join")) << "not connected: nothing went out";
    Listener server(true);
    Get<QLineEdit>("Txt_Host").setText(server.HostText());
    Click("Cmd_Connect");
    ASSERT_TRUE(WaitFor([&] { return Shown("Cmd_Disconnect"); }));
    Click("Cmd_Join");
    EXPECT_FALSE(Shown("Cmd_Join"));
    EXPECT_TRUE(Shown("Cmd_Part"));
    Click("Cmd_Part");
    EXPECT_TRUE(Shown("Cmd_Join"));
    EXPECT_FALSE(Shown("Cmd_Part"));
}

TEST_F(MainWindowInput, ConnectAndDisconnectOverLoopback) {
    Listener server(true);
    Get<QLineEdit>("Txt_Host").setText(server.HostText());
    Click("Cmd_Connect");
    ASSERT_TRUE(WaitFor([&] { return Shown("Cmd_Disconnect"); }));
    EXPECT_FALSE(Shown("Cmd_Connect"));
    EXPECT_EQ(Newest().mid(9), server.HostText() + QString::fromUtf8("に接続しました"));

    Click("Cmd_Disconnect");
    EXPECT_TRUE(Shown("Cmd_Connect"));
    EXPECT_FALSE(Shown("Cmd_Disconnect"));
    EXPECT_EQ(Newest().mid(9), QString::fromUtf8("接続を切断しました。"));
}

TEST_F(MainWindowInput, RefusedConnectionIsLoggedFromTheEventLoop) {
    QString host;
    {
        Listener closed(false);
        host = closed.HostText();
    }
    Get<QLineEdit>("Txt_Host").setText(host);
    Click("Cmd_Connect");
    EXPECT_TRUE(
        WaitFor([&] { return Logged(QString::fromUtf8("エラー：ホストに接続できません。")); }));
    EXPECT_TRUE(Shown("Cmd_Connect"));
}

TEST_F(MainWindowInput, ClosingTheWindowUnloadsIt) {
    ASSERT_NE(window.Form().Winsock(), nullptr);
    window.close();
    EXPECT_EQ(window.Form().Winsock(), nullptr);
}

TEST(MainWindowStartUp, FailureShowsTheMessageBoxAndNeverTheWindow) {
    FakePlatform platform;
    platform.Script("WSAStartup", winsock::WSANOTINITIALISED);
    TCPSockProc proc(platform);
    MainWindow window(proc);
    QString text;
    QMessageBox::StandardButtons buttons;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box != nullptr && box->isVisible()) {
                text = box->text();
                buttons = box->standardButtons();
                box->accept();
            }
        }
    });
    closer.start(10);
    EXPECT_FALSE(window.Load());
    EXPECT_EQ(text, QString::fromUtf8("Winsock の初期化に失敗しました。"));
    EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_FALSE(window.isVisible());
}

struct KeyCase {
    char32_t character;
    std::int16_t code;
};

TEST(KeyPressFilterCodes, CharactersArriveAsTheirAnsiCodes) {
    const KeyCase cases[] = {
        {U'a', 97},
        {U'\b', 8},
        {U'\uFF71', 0xB1},                                        // half-width katakana: one byte
        {U'\u3042', static_cast<std::int16_t>(0x82A0 - 0x10000)}, // hiragana: lead byte high
        {U'\u20AC', '?'}, // no such character in the code page
    };
    for (const KeyCase& c : cases) {
        EXPECT_EQ(KeyPressFilter::KeyAsciiOf(c.character), c.code)
            << "U+" << std::hex << static_cast<std::uint32_t>(c.character);
    }
}

} // namespace
