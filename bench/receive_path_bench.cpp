// The receive path without painting: an ISO-2022-JP flood of IRC lines handed to the window in
// 8 KiB arrivals, every line converted, cut, decoded and logged, against glibc iconv decoding the
// same bytes and doing nothing else; also into a log that is full from the start, the normal state
// after a day online; and the same flood from a real loopback server through the socket layer,
// over TLS against plaintext.

#include "client/form_constants.h"
#include "client/form_main.h"
#include "client/qt/log_view.h"
#include "client/qt/main_window.h"
#include "socket/posix/platform.h"
#include "socket/tcp_sock.h"
#include "socket/tcp_sock_proc.h"
#include "tests/fakes/fake_controls.h"
#include "tests/fakes/fake_platform.h"
#include "tests/tls/tls_relay.h"

#include <QApplication>
#include <QLineEdit>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t CorpusBytes = 8 * 1024 * 1024;
constexpr std::size_t ArrivalBytes = 8 * 1024;
constexpr int Iterations = 5;
constexpr double BytesPerMB = 1e6;

// Japanese as a channel carries it: kanji, kana, full-width punctuation and digits.
constexpr std::string_view Japanese[] = {
    "こんにちは、今日はいい天気ですね。",   "明日の会議は十時からです",
    "ソフトウェアの更新が終わりました！",   "了解しました。よろしくお願いします",
    "東京駅で待ち合わせましょう（１２時）", "日本語の文字コードは難しい…",
    "ＩＲＣサーバーに接続しています",       "表示が遅いときはログを見てください",
};
constexpr std::string_view Ascii[] = {
    "ok", "see you", "http://example.org/docs", "lol", "build 1234 passed", "brb", ":-)",
};
constexpr std::string_view Nicks[] = {"taro", "hanako", "kenji", "yuki_", "sakura", "ichiro"};

std::string ToIso2022Jp(iconv_t converter, std::string_view utf8) {
    std::string input(utf8);
    std::string output(input.size() * 4 + 16, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    // Each line ends back in ASCII, as a line of ISO-2022-JP must.
    if (::iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
        ::iconv(converter, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) {
        throw std::runtime_error("iconv cannot write ISO-2022-JP");
    }
    output.resize(output.size() - outLeft);
    return output;
}

struct Corpus {
    std::string Bytes; // ISO-2022-JP, CR LF ended lines
    std::size_t Lines = 0;
    std::string LastLineUtf8; // what the log must show last
};

Corpus MakeCorpus() {
    const iconv_t converter = ::iconv_open("ISO-2022-JP", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv lacks ISO-2022-JP");
    }
    std::mt19937 random(20240607);
    auto pick = [&random](const auto& list) {
        return std::string(list[random() % std::size(list)]);
    };
    Corpus corpus;
    corpus.Bytes.reserve(CorpusBytes + 1024);
    while (corpus.Bytes.size() < CorpusBytes) {
        std::string line = ":" + pick(Nicks) + "!~user@192.0.2." + std::to_string(random() % 250) +
                           " PRIVMSG #hoshiwa :";
        switch (random() % 4) {
        case 0:
            line += pick(Ascii);
            break;
        case 1:
            line += pick(Japanese);
            break;
        default:
            line += pick(Japanese) + " " + pick(Ascii) + " " + pick(Japanese);
            break;
        }
        corpus.Bytes += ToIso2022Jp(converter, line);
        corpus.Bytes += "\r\n";
        corpus.LastLineUtf8 = line;
        ++corpus.Lines;
    }
    ::iconv_close(converter);
    return corpus;
}

const Corpus& TheCorpus() {
    static const Corpus corpus = MakeCorpus();
    return corpus;
}

// The machine is shared with builds, so the figures are taken from the thread's own CPU time;
// the wall-clock figure is printed beside them.
struct Figures {
    double CpuSeconds = 0;
    double WallSeconds = 0;
    std::size_t Bytes = 0;
    std::size_t Lines = 0;
    double MBPerSecond(double seconds) const {
        return static_cast<double>(Bytes) / BytesPerMB / seconds;
    }
    double LinesPerSecond() const { return static_cast<double>(Lines) / CpuSeconds; }
};
Figures ReceivePathFigures;
Figures FullLogFigures;
Figures FakeLogFigures;
Figures IconvFigures;
Figures PlainLoopbackFigures;
Figures TlsLoopbackFigures;
bool Failed = false;

void Fail(benchmark::State& state, const std::string& why) {
    Failed = true;
    state.SkipWithError(why.c_str());
}

double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

class Stopwatch {
public:
    // Adds the time since construction to the figures and returns the CPU seconds.
    double Stop(Figures& figures, std::size_t bytes, std::size_t lines) const {
        const double cpu = ThreadCpuSeconds() - m_cpuStart;
        figures.CpuSeconds += cpu;
        figures.WallSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_wallStart).count();
        figures.Bytes += bytes;
        figures.Lines += lines;
        return cpu;
    }

private:
    double m_cpuStart = ThreadCpuSeconds();
    std::chrono::steady_clock::time_point m_wallStart = std::chrono::steady_clock::now();
};

// Connects a window's Form_Main over the fake socket layer, whose recv hands out one arrival at a
// time, and delivers arrivals to it.
class FakeConnection {
public:
    FakeConnection(FakePlatform& platform, Form_Main& form) : m_platform(platform) {
        form.Cmd_Connect_Click();
        m_platform.PumpAll();
        if (!form.Winsock() || form.Winsock()->State() != TCPSock::StateConnected) {
            throw std::runtime_error("the window did not connect");
        }
        m_handle = form.Winsock()->GetHandle();
    }

    void Deliver(std::string_view arrival) {
        m_platform.Arrive(m_handle, std::string(arrival));
        m_platform.PumpAll();
    }

private:
    FakePlatform& m_platform;
    winsock::SOCKET m_handle = winsock::INVALID_SOCKET;
};

// The program's window, never shown: its log is the front end's list model under a hidden view.
class QtLogWindow {
public:
    QtLogWindow() : m_proc(m_platform), m_window(m_proc) {
        if (!m_window.Load()) {
            throw std::runtime_error("the window did not load");
        }
        m_connection.emplace(m_platform, m_window.Form());
    }

    void Deliver(std::string_view arrival) { m_connection->Deliver(arrival); }
    void Fill() {
        for (std::size_t i = 0; i < MaxLoggedEntries; ++i) {
            m_window.Form().AddLog("<Recv> :taro!~user@192.0.2.1 PRIVMSG #hoshiwa :earlier " +
                                   std::to_string(i));
        }
        QCoreApplication::processEvents();
    }
    int Count() const { return m_window.Log().Model().rowCount(); }
    std::string NewestEntry() const {
        const LogModel& model = m_window.Log().Model();
        return model.rowCount() >= 2 ? model.Entry(model.rowCount() - 2).toStdString() : "";
    }
    static constexpr const char* Name = "the Qt front end's log model (window not shown)";

private:
    FakePlatform m_platform;
    TCPSockProc m_proc;
    MainWindow m_window;
    std::optional<FakeConnection> m_connection;
};

// Form_Main over fake controls: the receive path without any Qt.
class FakeLogWindow {
public:
    FakeLogWindow() : m_proc(m_platform), m_form(m_proc, m_controls.Controls()) {
        if (!m_form.Form_Load()) {
            throw std::runtime_error("the window did not load");
        }
        m_connection.emplace(m_platform, m_form);
    }
    ~FakeLogWindow() { m_form.Form_Unload(); }

    void Deliver(std::string_view arrival) { m_connection->Deliver(arrival); }
    int Count() const { return m_controls.Lst_Msg.ListCount(); }
    std::string NewestEntry() const {
        const FakeListBox& log = m_controls.Lst_Msg;
        return log.ListCount() >= 2 ? log.List(log.ListCount() - 2) : "";
    }
    static constexpr const char* Name = "FakeListBox";

private:
    FakePlatform m_platform;
    TCPSockProc m_proc;
    FakeFormControls m_controls;
    Form_Main m_form;
    std::optional<FakeConnection> m_connection;
};

// A bench that measures a path that loses or garbles lines measures nothing.
template <typename Window>
void CheckLog(const Window& window, const Corpus& corpus, bool full, benchmark::State& state) {
    const std::string expected = "<Recv> " + corpus.LastLineUtf8;
    const std::string newest = window.NewestEntry();
    // An entry is "hh:mm:ss " and the logged text.
    if (newest.size() < 9 || newest.substr(9) != expected) {
        Fail(state, "the newest entry is \"" + newest + "\", not \"" + expected + "\"");
    }
    // The connection entry, every line up to the log's limit, and the blank last entry.
    const std::size_t expectedCount =
        (full ? MaxLoggedEntries : std::min<std::size_t>(corpus.Lines + 1, MaxLoggedEntries)) + 1;
    if (static_cast<std::size_t>(window.Count()) != expectedCount) {
        Fail(state, "the log holds " + std::to_string(window.Count()) + " entries, not " +
                        std::to_string(expectedCount));
    }
}

enum class StartWith { EmptyLog, FullLog };

template <typename Window>
void ReceivePath(benchmark::State& state, Figures& figures, StartWith start = StartWith::EmptyLog) {
    const Corpus& corpus = TheCorpus();
    const std::string_view bytes = corpus.Bytes;
    const bool full = start == StartWith::FullLog;
    for (auto _ : state) {
        Window window;
        if constexpr (requires { window.Fill(); }) {
            if (full) {
                window.Fill();
            }
        }
        const Stopwatch stopwatch;
        for (std::size_t offset = 0; offset < bytes.size(); offset += ArrivalBytes) {
            window.Deliver(bytes.substr(offset, ArrivalBytes));
        }
        state.SetIterationTime(stopwatch.Stop(figures, bytes.size(), corpus.Lines));
        CheckLog(window, corpus, full, state);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// A server on a free loopback port that sends the corpus to its first client and closes.
class CorpusServer {
public:
    explicit CorpusServer(const std::string& bytes) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 ||
            ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 1) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("no loopback listener");
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, &bytes] {
            const int client = ::accept(m_listener, nullptr, nullptr);
            for (std::size_t sent = 0; client >= 0 && sent < bytes.size();) {
                const ssize_t n = ::send(client, bytes.data() + sent, bytes.size() - sent, 0);
                if (n <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(n);
            }
            ::close(client);
        });
    }
    ~CorpusServer() {
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }
    int Port() const { return m_port; }

private:
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

enum class Link { Plain, Tls };

// The program's window over the real socket layer, reading the corpus from a loopback server, in
// plaintext or through a TLS server in front of it (its certificate pinned).
void LoopbackReceivePath(benchmark::State& state, Figures& figures, Link link) {
    static TestCertificates certificates;
    const Corpus& corpus = TheCorpus();
    for (auto _ : state) {
        CorpusServer server(corpus.Bytes);
        std::optional<TlsRelay> relay;
        std::string host = "127.0.0.1:" + std::to_string(server.Port());
        if (link == Link::Tls) {
            TlsRelay::Options options;
            options.Identity = certificates.Server();
            options.TargetPort = server.Port();
            relay.emplace(options);
            host = "127.0.0.1:+" + std::to_string(relay->Port()) + "#" +
                   certificates.Fingerprint(certificates.Server());
        }
        PosixPlatform platform;
        TCPSockProc proc(platform);
        MainWindow window(proc);
        if (!window.Load()) {
            Fail(state, "the window did not load");
            return;
        }
        const LogModel& model = window.Log().Model();
        auto entry = [&model](int fromEnd) {
            const int row = model.rowCount() - 1 - fromEnd;
            return row >= 0 ? model.Entry(row).toStdString() : std::string();
        };
        auto closed = [&] { return entry(1).ends_with("接続が切断されました。"); };
        const Stopwatch stopwatch;
        static_cast<QLineEdit*>(window.Control("Txt_Host"))->setText(QString::fromStdString(host));
        window.Form().Cmd_Connect_Click();
        platform.RunUntil(closed, std::chrono::minutes(2));
        state.SetIterationTime(stopwatch.Stop(figures, corpus.Bytes.size(), corpus.Lines));
        if (!closed() || entry(2).substr(9) != "<Recv> " + corpus.LastLineUtf8) {
            Fail(state, "the flood did not arrive whole: the log ends with \"" + entry(2) + "\"");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.Bytes.size()));
}

// iconv alone, in the same arrivals; a sequence cut by an arrival's end waits for the next.
void BM_IconvOnly(benchmark::State& state) {
    const Corpus& corpus = TheCorpus();
    std::string output(ArrivalBytes * 4, '\0');
    for (auto _ : state) {
        const iconv_t converter = ::iconv_open("UTF-8", "ISO-2022-JP");
        std::string carry;
        std::size_t written = 0;
        const Stopwatch stopwatch;
        for (std::size_t offset = 0; offset < corpus.Bytes.size(); offset += ArrivalBytes) {
            carry.append(corpus.Bytes, offset, ArrivalBytes);
            char* in = carry.data();
            std::size_t inLeft = carry.size();
            char* out = output.data();
            std::size_t outLeft = output.size();
            if (::iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) &&
                errno != EINVAL) {
                Fail(state, "iconv rejected the corpus");
                break;
            }
            written += output.size() - outLeft;
            carry.erase(0, carry.size() - inLeft);
        }
        state.SetIterationTime(stopwatch.Stop(IconvFigures, corpus.Bytes.size(), corpus.Lines));
        ::iconv_close(converter);
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.Bytes.size()));
}

void BM_ReceivePath(benchmark::State& state) {
    ReceivePath<QtLogWindow>(state, ReceivePathFigures);
}
void BM_ReceivePathFullLog(benchmark::State& state) {
    ReceivePath<QtLogWindow>(state, FullLogFigures, StartWith::FullLog);
}
void BM_ReceivePathFakeListBox(benchmark::State& state) {
    ReceivePath<FakeLogWindow>(state, FakeLogFigures);
}

void BM_PlainLoopbackReceivePath(benchmark::State& state) {
    LoopbackReceivePath(state, PlainLoopbackFigures, Link::Plain);
}
void BM_TlsReceivePath(benchmark::State& state) {
    LoopbackReceivePath(state, TlsLoopbackFigures, Link::Tls);
}

BENCHMARK(BM_ReceivePath)->UseManualTime()->Iterations(Iterations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceivePathFullLog)
    ->UseManualTime()
    ->Iterations(Iterations)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceivePathFakeListBox)
    ->UseManualTime()
    ->Iterations(Iterations)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IconvOnly)->UseManualTime()->Iterations(Iterations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLoopbackReceivePath)
    ->UseManualTime()
    ->Iterations(Iterations)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TlsReceivePath)
    ->UseManualTime()
    ->Iterations(Iterations)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // The window is never shown; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const Corpus& corpus = TheCorpus();
    std::printf("corpus: %zu bytes of ISO-2022-JP, %zu lines, %zu-byte arrivals; log: %s\n",
                corpus.Bytes.size(), corpus.Lines, ArrivalBytes, QtLogWindow::Name);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (Failed || ReceivePathFigures.CpuSeconds <= 0 || IconvFigures.CpuSeconds <= 0) {
        return 1;
    }
    const Figures& path = ReceivePathFigures;
    const Figures& fake = FakeLogFigures;
    const Figures& iconv = IconvFigures;
    // MB are 10^6 bytes of the ISO-2022-JP corpus as it arrives.
    std::printf("wall clock: receive path %.1f MB/s, iconv-only %.1f MB/s\n",
                path.MBPerSecond(path.WallSeconds), iconv.MBPerSecond(iconv.WallSeconds));
    std::printf("receive path over %s: %.1f MB/s\n", FakeLogWindow::Name,
                fake.MBPerSecond(fake.CpuSeconds));
    std::printf("receive_path: %.1f MB/s (%.0f lines/s) vs iconv-only %.1f MB/s = %.2fx\n",
                path.MBPerSecond(path.CpuSeconds), path.LinesPerSecond(),
                iconv.MBPerSecond(iconv.CpuSeconds),
                path.MBPerSecond(path.CpuSeconds) / iconv.MBPerSecond(iconv.CpuSeconds));
    const Figures& tls = TlsLoopbackFigures;
    const Figures& plain = PlainLoopbackFigures;
    if (tls.CpuSeconds > 0 && plain.CpuSeconds > 0) {
        std::printf("tls_receive_path: %.1f MB/s vs plain %.1f MB/s = %.2fx\n",
                    tls.MBPerSecond(tls.CpuSeconds), plain.MBPerSecond(plain.CpuSeconds),
                    tls.MBPerSecond(tls.CpuSeconds) / plain.MBPerSecond(plain.CpuSeconds));
    }
    if (FullLogFigures.CpuSeconds > 0) {
        std::printf("receive_path_full: %.1f MB/s\n",
                    FullLogFigures.MBPerSecond(FullLogFigures.CpuSeconds));
    }
    return 0;
}
