// A flood of log entries through the real Qt window: every AddLog is followed by a turn of the
// event loop, as when each entry arrives on its own. The baseline is a QListWidget that inserts
// each entry and scrolls to it at once, the way the list box was driven originally; it is given
// uniform item sizes too, since without them its per-entry scroll measures every row's text and a
// 32,767-entry run would take hours.
//
// The summary figures are for windows that are not shown: the log's own work, without painting.
// A shown window also pays, in every turn, Qt's painting and the list's relayout of all its rows
// after an insertion; the shown runs (smaller floods) say how much.

#include "client/qt/log_view.h"
#include "client/qt/main_window.h"
#include "socket/posix_platform.h"
#include "socket/tcp_sock_proc.h"

#include <QApplication>
#include <QListWidget>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

constexpr int Sizes[] = {1000, 10000, 32767};
constexpr int Largest = 32767;
constexpr int Hidden = 0;
constexpr int Shown = 1;
constexpr double MicrosecondsPerSecond = 1e6;
constexpr double MillisecondsPerSecond = 1e3;

// Seconds a whole flood took in a window that is not shown, by flood size.
std::map<int, double> g_frontEnd;
std::map<int, double> g_listWidget;

void Record(benchmark::State& state, std::map<int, double>& hidden, double seconds) {
    const int entries = static_cast<int>(state.range(0));
    state.SetIterationTime(seconds);
    state.counters["us_per_entry"] = seconds * MicrosecondsPerSecond / entries;
    if (state.range(1) == Hidden) {
        hidden[entries] = seconds;
    }
}

std::string Line(int i) {
    return "<Recv> :nick" + std::to_string(i % 97) +
           "!user@host.example PRIVMSG #channel :message number " + std::to_string(i);
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_FrontEndFlood(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    for (auto _ : state) {
        PosixPlatform platform;
        TCPSockProc proc(platform);
        MainWindow window(proc);
        if (!window.Load()) {
            state.SkipWithError("the socket layer did not start");
            return;
        }
        window.setVisible(state.range(1) == Shown);
        QCoreApplication::processEvents();
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < entries; ++i) {
            window.Form().AddLog(Line(i));
            QCoreApplication::processEvents();
        }
        Record(state, g_frontEnd, Seconds(start));
        benchmark::DoNotOptimize(window.Log().Model().rowCount());
        window.close();
    }
}

void BM_QListWidgetFlood(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    for (auto _ : state) {
        QListWidget list;
        list.resize(481, 218);
        list.setUniformItemSizes(true);
        list.addItem(QStringLiteral(" "));
        list.setVisible(state.range(1) == Shown);
        QCoreApplication::processEvents();
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < entries; ++i) {
            const int row = list.count() - 1;
            list.insertItem(row, QString::fromStdString("00:00:00 " + Line(i)));
            list.scrollToItem(list.item(row));
            QCoreApplication::processEvents();
        }
        Record(state, g_listWidget, Seconds(start));
    }
}

BENCHMARK(BM_FrontEndFlood)
    ->ArgNames({"entries", "shown"})
    ->Args({Sizes[0], Hidden})
    ->Args({Sizes[1], Hidden})
    ->Args({Sizes[2], Hidden})
    ->Args({Sizes[0], Shown})
    ->Args({Sizes[1], Shown})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QListWidgetFlood)
    ->ArgNames({"entries", "shown"})
    ->Args({Sizes[0], Hidden})
    ->Args({Largest, Hidden})
    ->Args({Sizes[0], Shown})
    ->Args({Sizes[1], Shown})
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

    for (const int size : Sizes) {
        if (g_frontEnd.count(size) != 0) {
            std::printf("log_flood_%d: %.2f us per entry\n", size,
                        g_frontEnd[size] * MicrosecondsPerSecond / size);
        }
    }
    if (g_frontEnd.count(Sizes[0]) != 0 && g_frontEnd.count(Largest) != 0) {
        std::printf("log_flood per-entry cost at %d / at %d = %.2fx\n", Largest, Sizes[0],
                    (g_frontEnd[Largest] / Largest) / (g_frontEnd[Sizes[0]] / Sizes[0]));
    }
    if (g_frontEnd.count(Largest) != 0 && g_listWidget.count(Largest) != 0) {
        std::printf("log_flood_%d: %.1f ms vs QListWidget %.1f ms = %.1fx\n", Largest,
                    g_frontEnd[Largest] * MillisecondsPerSecond,
                    g_listWidget[Largest] * MillisecondsPerSecond,
                    g_listWidget[Largest] / g_frontEnd[Largest]);
    }
    return 0;
}
