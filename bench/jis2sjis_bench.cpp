#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <iconv.h>

#include "encoding/ansi_code_page.h"
#include "encoding/jis2sjis.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kCorpusBytes = 8u << 20;

// Lines as a Japanese channel sends them: a prefix, PRIVMSG, and text that switches between
// ASCII and kanji or kana a few times.
std::vector<Bytes> MakeLines() {
    std::mt19937 random(2022);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    std::vector<Bytes> lines;
    std::size_t total = 0;
    while (total < kCorpusBytes) {
        std::string line = ":user" + std::to_string(pick(1, 999)) + "!~user@host" +
                           std::to_string(pick(1, 99)) + ".example.jp PRIVMSG #channel :";
        for (int run = pick(1, 4); run > 0; --run) {
            line += "\x1B$B";
            for (int n = pick(2, 16); n > 0; --n) {
                // Hiragana (row 4) or a level-1 kanji (rows 0x30-0x4E), all assigned.
                const bool kana = pick(0, 2) == 0;
                line += static_cast<char>(kana ? 0x24 : pick(0x30, 0x4E));
                line += static_cast<char>(kana ? pick(0x21, 0x73) : pick(0x21, 0x7E));
            }
            line += "\x1B(B";
            line += pick(0, 1) == 0 ? " ok " : " (^^) see http://example.jp/ ";
        }
        line += "\r\n";
        total += line.size();
        lines.emplace_back(line.begin(), line.end());
    }
    return lines;
}

const std::vector<Bytes>& Lines() {
    static const std::vector<Bytes> lines = MakeLines();
    return lines;
}

const Bytes& Corpus() {
    static const Bytes corpus = [] {
        Bytes all;
        for (const Bytes& line : Lines()) {
            all.insert(all.end(), line.begin(), line.end());
        }
        return all;
    }();
    return corpus;
}

void BM_JIS2SJIS(benchmark::State& state) {
    const Bytes& corpus = Corpus();
    Bytes target;
    for (auto _ : state) {
        JIS2SJIS(corpus, target);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.size()));
}
BENCHMARK(BM_JIS2SJIS)->Unit(benchmark::kMillisecond);

// The same conversion done by the C library: the whole corpus in one call, its best case.
void BM_IconvIso2022JpToCp932(benchmark::State& state) {
    const Bytes& corpus = Corpus();
    const iconv_t descriptor = iconv_open("CP932", "ISO-2022-JP");
    if (descriptor == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv cannot convert from ISO-2022-JP to CP932");
        return;
    }
    Bytes target(corpus.size());
    for (auto _ : state) {
        iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
        char* in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(corpus.data()));
        std::size_t inLeft = corpus.size();
        char* out = reinterpret_cast<char*>(target.data());
        std::size_t outLeft = target.size();
        if (iconv(descriptor, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
            state.SkipWithError("iconv refused the corpus");
            break;
        }
        benchmark::DoNotOptimize(target.data());
    }
    iconv_close(descriptor);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.size()));
}
BENCHMARK(BM_IconvIso2022JpToCp932)->Unit(benchmark::kMillisecond);

// What the receive path does with every complete line after the conversion.
void BM_ToTextPerLine(benchmark::State& state) {
    std::vector<Bytes> converted;
    std::size_t bytes = 0;
    for (const Bytes& line : Lines()) {
        converted.emplace_back();
        JIS2SJIS(line, converted.back());
        bytes += converted.back().size();
    }
    for (auto _ : state) {
        for (const Bytes& line : converted) {
            benchmark::DoNotOptimize(AnsiCodePage::ToText(line));
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ToTextPerLine)->Unit(benchmark::kMillisecond);

// What the log does with every entry it adds.
void BM_ByteLengthPerLine(benchmark::State& state) {
    std::vector<std::string> texts;
    std::size_t bytes = 0;
    for (const Bytes& line : Lines()) {
        Bytes converted;
        JIS2SJIS(line, converted);
        texts.push_back(AnsiCodePage::ToText(converted));
        bytes += texts.back().size();
    }
    for (auto _ : state) {
        for (const std::string& text : texts) {
            benchmark::DoNotOptimize(AnsiCodePage::ByteLength(text));
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ByteLengthPerLine)->Unit(benchmark::kMillisecond);

// Shows the usual table and keeps each benchmark's throughput for the summary line.
class ThroughputReporter : public benchmark::ConsoleReporter {
public:
    // Without colour: the summary line printed after the table must start clean.
    ThroughputReporter() : benchmark::ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto counter = run.counters.find("bytes_per_second");
            if (!run.error_occurred && counter != run.counters.end()) {
                m_BytesPerSecond[run.benchmark_name()] = counter->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double MegabytesPerSecond(const std::string& name) const {
        const auto found = m_BytesPerSecond.find(name);
        return found == m_BytesPerSecond.end() ? 0.0 : found->second / 1e6;
    }

private:
    std::map<std::string, double> m_BytesPerSecond;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    ThroughputReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double ours = reporter.MegabytesPerSecond("BM_JIS2SJIS");
    const double library = reporter.MegabytesPerSecond("BM_IconvIso2022JpToCp932");
    if (ours > 0.0 && library > 0.0) {
        std::printf("jis2sjis: %.0f MB/s vs iconv %.0f MB/s = %.1fx\n", ours, library,
                    ours / library);
    }
    return 0;
}
