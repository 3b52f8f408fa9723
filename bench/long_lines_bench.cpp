// Received lines of the longest length a server may send (8,704 bytes, IRC's 512 plus IRCv3's tags)
// against ordinary ones of 87 bytes, logged into the shown window. The event loop turns after every
// few entries, as it does between arrivals, so that the rows in view are drawn again and again:
// a long entry must cost what its visible part needs, not what all its bytes would. Timed in the
// thread's CPU time, since the machine may be shared with builds.

#include "client/qt/log_view.h"
#include "client/qt/main_window.h"
#include "encoding/ansi_code_page.h"
#include "socket/posix/platform.h"
#include "socket/tcp_sock_proc.h"

#include <QApplication>
#include <QEventLoop>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int Entries = 5000;
constexpr int EntriesPerTurn = 10;
constexpr std::size_t LongLine = 8704;
constexpr std::size_t ShortLine = 87;
constexpr int MaxIdleTurns = 10000;
constexpr double MicrosecondsPerSecond = 1e6;

std::map<std::size_t, double> g_perEntry; // microseconds, by line length

// A PRIVMSG of exactly `bytes` bytes in Shift_JIS: a prefix, then Japanese and ASCII words.
std::string Line(int i, std::size_t bytes) {
    std::string line = ":taro!~user@192.0.2.1 PRIVMSG #hoshiwa :" + std::to_string(i) + " ";
    const std::string words[] = {"東京駅で待ち合わせましょう", " see you ", "（１２時）"};
    std::size_t length = AnsiCodePage::ByteLength(line);
    for (std::size_t w = 0;; ++w) {
        const std::string& word = words[w % std::size(words)];
        const std::size_t wordLength = AnsiCodePage::ByteLength(word);
        if (length + wordLength > bytes) {
            break;
        }
        line += word;
        length += wordLength;
    }
    return line + std::string(bytes - length, 'x');
}

double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void RunUntilIdle() {
    QEventLoop loop;
    for (int turn = 0; turn < MaxIdleTurns && loop.processEvents(); ++turn) {
    }
}

void BM_LongLines(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0));
    std::vector<std::string> lines;
    for (int i = 0; i < Entries; ++i) {
        lines.push_back("<Recv> " + Line(i, bytes));
    }
    for (auto _ : state) {
        PosixPlatform platform;
        TCPSockProc proc(platform);
        MainWindow window(proc);
        if (!window.Load()) {
            state.SkipWithError("the socket layer did not start");
            return;
        }
        window.show();
        RunUntilIdle();
        const double start = ThreadCpuSeconds();
        for (int i = 0; i < Entries; ++i) {
            window.Form().AddLog(lines[static_cast<std::size_t>(i)]);
            if ((i + 1) % EntriesPerTurn == 0) {
                QCoreApplication::processEvents();
            }
        }
        RunUntilIdle();
        const double seconds = ThreadCpuSeconds() - start;
        state.SetIterationTime(seconds);
        g_perEntry[bytes] = seconds * MicrosecondsPerSecond / Entries;
        state.counters["us_per_entry"] = g_perEntry[bytes];
        window.close();
    }
}

BENCHMARK(BM_LongLines)
    ->ArgName("bytes")
    ->Arg(ShortLine)
    ->Arg(LongLine)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_perEntry.count(LongLine) != 0 && g_perEntry.count(ShortLine) != 0) {
        std::printf("long_lines: %.2f us/entry for %zu-byte lines vs %.2f us/entry for %zu-byte "
                    "lines = %.2fx\n",
                    g_perEntry[LongLine], LongLine, g_perEntry[ShortLine], ShortLine,
                    g_perEntry[LongLine] / g_perEntry[ShortLine]);
    }
    return 0;
}
