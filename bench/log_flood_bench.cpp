// A flood of log entries through the real Qt window, shown: one read notification can bring
// thousands of lines, so AddLog runs that many times within one event-loop turn. The time covers
// the AddLog calls and then the event loop until the window has done its deferred work (the
// scroll to the newest entry, the list's layout and the painting).
//
// The steady state: a log that is already full (as it is after a day online) takes 10,000 more
// entries, against the same entries into an empty log in the same run. Lengths either vary, or are
// all equal, the worst case: each addition then drops the longest entry (the earliest of equal
// lengths) and makes the next one the longest. These two are timed in the thread's CPU time, since
// the machine may be shared with builds.
//
// The baseline is a shown QListWidget that inserts each entry and scrolls to it at once, the way
// the list box was driven originally; every scroll lays out all its rows again. It is given
// uniform item sizes too, since without them each of those layouts measures every row's text and
// a 32,767-entry run would take hours.

#include "client/qt/log_view.h"
#include "client/qt/main_window.h"
#include "socket/posix/platform.h"
#include "socket/tcp_sock_proc.h"

#include <QApplication>
#include <QEventLoop>
#include <QListWidget>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <utility>

namespace {

constexpr int Sizes[] = {1000, 10000, 32767};
constexpr int Smallest = 1000;
constexpr int Largest = 32767;
constexpr int ListWidth = 481;
constexpr int ListHeight = 218;
// A bound on the turns spent waiting for the window to become idle; far more than it needs.
constexpr int MaxIdleTurns = 10000;
constexpr double MicrosecondsPerSecond = 1e6;
constexpr double MillisecondsPerSecond = 1e3;

// Seconds a whole flood took, by flood size.
std::map<int, double> g_frontEnd;
std::map<int, double> g_listWidget;
constexpr int SteadyEntries = 10000;
enum Lengths { Varied, Equal };
// Microseconds per entry of the steady state, by lengths: into an empty log and into a full one.
std::map<int, double> g_steadyEmpty;
std::map<int, double> g_steadyFull;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void Record(benchmark::State& state, std::map<int, double>& floods, double seconds) {
    const int entries = static_cast<int>(state.range(0));
    state.SetIterationTime(seconds);
    state.counters["us_per_entry"] = seconds * MicrosecondsPerSecond / entries;
    floods[entries] = seconds;
}

std::string Line(int i) {
    return "<Recv> :nick" + std::to_string(i % 97) +
           "!user@host.example PRIVMSG #channel :message number " + std::to_string(i);
}

// Japanese channel text: its layout, not its bytes, is what costs when the log measures it.
std::string JapaneseLine(int i, Lengths lengths) {
    char number[16];
    std::snprintf(number, sizeof number, "%06d", i % 1000000);
    std::string line = "<Recv> :taro!~user@192.0.2.1 PRIVMSG #hoshiwa :";
    const int repeats = lengths == Equal ? 3 : 1 + (i * 37) % 7;
    for (int r = 0; r < repeats; ++r) {
        line += "東京駅で待ち合わせましょう（１２時）";
    }
    return line + " " + number;
}

// Turns the event loop until a turn finds nothing to do.
void RunUntilIdle() {
    QEventLoop loop;
    for (int turn = 0; turn < MaxIdleTurns && loop.processEvents(); ++turn) {
    }
}

// Counts the paintings of a widget, to tell that the flood was drawn within the timed part.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int Count() const { return m_count; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++m_count;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int m_count = 0;
};

// Whether the list shows the row it scrolled to wholly and has painted since the flood began. The
// log scrolls to its blank last entry, below the newest; the baseline to the newest entry.
bool Drawn(QAbstractItemView& view, int row, const PaintCounter& paints) {
    const QRect rect = view.visualRect(view.model()->index(row, 0));
    return paints.Count() > 0 && rect.top() >= 0 && rect.bottom() < view.viewport()->height();
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
        window.show();
        RunUntilIdle();
        LogView& log = window.Log();
        const PaintCounter paints(*log.viewport());
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < entries; ++i) {
            window.Form().AddLog(Line(i));
        }
        RunUntilIdle();
        Record(state, g_frontEnd, Seconds(start));
        if (!Drawn(log, log.Model().rowCount() - 1, paints)) {
            state.SkipWithError("the entry scrolled to was not drawn in view");
        }
        window.close();
    }
}

void BM_QListWidgetFlood(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    for (auto _ : state) {
        QListWidget list;
        list.resize(ListWidth, ListHeight);
        list.setUniformItemSizes(true);
        list.addItem(QStringLiteral(" "));
        list.show();
        RunUntilIdle();
        const PaintCounter paints(*list.viewport());
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < entries; ++i) {
            const int row = list.count() - 1;
            list.insertItem(row, QString::fromStdString("00:00:00 " + Line(i)));
            list.scrollToItem(list.item(row));
        }
        RunUntilIdle();
        Record(state, g_listWidget, Seconds(start));
        if (!Drawn(list, list.count() - 2, paints)) {
            state.SkipWithError("the entry scrolled to was not drawn in view");
        }
    }
}

// Microseconds per entry of adding `entries` lines from `first` on to a shown window that already
// holds `before` lines, and of the deferred work after them.
double TimedFlood(benchmark::State& state, int before, int entries, Lengths lengths) {
    PosixPlatform platform;
    TCPSockProc proc(platform);
    MainWindow window(proc);
    if (!window.Load()) {
        state.SkipWithError("the socket layer did not start");
        return 0;
    }
    window.show();
    for (int i = 0; i < before; ++i) {
        window.Form().AddLog(JapaneseLine(i, lengths));
    }
    RunUntilIdle();
    LogView& log = window.Log();
    const PaintCounter paints(*log.viewport());
    const double start = ThreadCpuSeconds();
    for (int i = before; i < before + entries; ++i) {
        window.Form().AddLog(JapaneseLine(i, lengths));
    }
    RunUntilIdle();
    const double seconds = ThreadCpuSeconds() - start;
    if (!Drawn(log, log.Model().rowCount() - 1, paints)) {
        state.SkipWithError("the entry scrolled to was not drawn in view");
    }
    window.close();
    return seconds * MicrosecondsPerSecond / entries;
}

void BM_SteadyState(benchmark::State& state) {
    const auto lengths = static_cast<Lengths>(state.range(0));
    // The first window of the program loads fonts and fills glyph caches; neither side pays that.
    TimedFlood(state, 0, Smallest, lengths);
    for (auto _ : state) {
        const double empty = TimedFlood(state, 0, SteadyEntries, lengths);
        const double full = TimedFlood(state, Largest, SteadyEntries, lengths);
        state.SetIterationTime((empty + full) * SteadyEntries / MicrosecondsPerSecond);
        state.counters["empty_us_per_entry"] = empty;
        state.counters["full_us_per_entry"] = full;
        g_steadyEmpty[lengths] = empty;
        g_steadyFull[lengths] = full;
    }
}

BENCHMARK(BM_SteadyState)
    ->ArgName("equal_lengths")
    ->Arg(Varied)
    ->Arg(Equal)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrontEndFlood)
    ->ArgName("entries")
    ->Arg(Sizes[0])
    ->Arg(Sizes[1])
    ->Arg(Sizes[2])
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QListWidgetFlood)
    ->ArgName("entries")
    ->Arg(Sizes[0])
    ->Arg(Sizes[1])
    ->Arg(Sizes[2])
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void PrintPerEntry(const char* name, std::map<int, double>& floods) {
    for (const int size : Sizes) {
        if (floods.count(size) != 0) {
            std::printf("%s %d entries: %.2f us per entry\n", name, size,
                        floods[size] * MicrosecondsPerSecond / size);
        }
    }
    if (floods.count(Smallest) != 0 && floods.count(Largest) != 0) {
        std::printf("%s per-entry cost at %d / at %d = %.2fx\n", name, Largest, Smallest,
                    (floods[Largest] / Largest) / (floods[Smallest] / Smallest));
    }
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    PrintPerEntry("log", g_frontEnd);
    PrintPerEntry("QListWidget", g_listWidget);
    if (g_frontEnd.count(Largest) != 0 && g_listWidget.count(Largest) != 0) {
        std::printf("log_flood_%d: %.1f ms vs QListWidget %.1f ms = %.1fx\n", Largest,
                    g_frontEnd[Largest] * MillisecondsPerSecond,
                    g_listWidget[Largest] * MillisecondsPerSecond,
                    g_listWidget[Largest] / g_frontEnd[Largest]);
    }
    const std::pair<Lengths, const char*> steady[] = {{Varied, "varied"}, {Equal, "worst"}};
    for (const auto& [lengths, name] : steady) {
        if (g_steadyEmpty.count(lengths) != 0) {
            std::printf("log_flood_full_%s: %.2f us/entry vs empty %.2f us/entry = %.2fx\n", name,
                        g_steadyFull[lengths], g_steadyEmpty[lengths],
                        g_steadyFull[lengths] / g_steadyEmpty[lengths]);
        }
    }
    return 0;
}
