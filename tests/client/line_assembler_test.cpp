#include "client/line_assembler.h"
#include "tests/client/printable.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct Collected {
    std::vector<std::string> Lines;
    LineAssembler::LineSink Sink() {
        return [this](const LineAssembler::Piece& piece) {
            Lines.emplace_back(piece.Bytes.begin(), piece.Bytes.end());
        };
    }
};

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The log's rules applied to a whole stream at once: CR LF, then lone CR, become LF; then each
// LF LF pair becomes LF in one left-to-right pass; the text before each LF is a line, and what
// follows the last LF is the unfinished line.
std::vector<std::string> WholeStreamLines(const std::string& stream, std::string& unfinished) {
    auto replaceAll = [](const std::string& s, const std::string& from, const std::string& to) {
        std::string out;
        std::size_t i = 0;
        for (std::size_t at; (at = s.find(from, i)) != std::string::npos; i = at + from.size()) {
            out.append(s, i, at - i).append(to);
        }
        return out.append(s, i);
    };
    std::string text = replaceAll(stream, "\r\n", "\n");
    text = replaceAll(text, "\r", "\n");
    text = replaceAll(text, "\n\n", "\n");
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1) {
        lines.push_back(text.substr(start, lf - start));
    }
    unfinished = text.substr(start);
    return lines;
}

struct LineEndCase {
    const char* Stream;
    std::vector<std::string> Lines;
    std::size_t Pending;
};

TEST(LineAssembler, LineEndsCollapseAsTheLogShowsThem) {
    const std::vector<LineEndCase> cases = {
        {"A\r\nB\r\n", {"A", "B"}, 0},
        {"A\r\n\r\nB\r\n", {"A", "B"}, 0},
        {"A\r\n\r\n\r\nB\r\n", {"A", "", "B"}, 0},
        {"A\r\n\r\n\r\n\r\nB\r\n", {"A", "", "B"}, 0},
        {"A\n\n\n\n\nB\n", {"A", "", "", "B"}, 0},
        {"A\rB\r", {"A", "B"}, 0},
        {"A\nB\n", {"A", "B"}, 0},
        {"A\n\rB\n", {"A", "B"}, 0},
        {"A\r\r\nB\n", {"A", "B"}, 0},
        {"A\r\n\nB\n", {"A", "B"}, 0},
        {"\r\nA\r\n", {"", "A"}, 0},
        {"A\r\nBC", {"A"}, 2},
        {"AB", {}, 2},
    };
    for (const auto& c : cases) {
        Collected got;
        LineAssembler assembler;
        assembler.Feed(Bytes(c.Stream), got.Sink());
        EXPECT_EQ(got.Lines, c.Lines) << "stream " << Printable(c.Stream);
        EXPECT_EQ(assembler.PendingSize(), c.Pending) << "stream " << Printable(c.Stream);
    }
}

TEST(LineAssembler, AnySplitIntoArrivalsGivesTheWholeStreamsLines) {
    std::mt19937 random(20240607);
    const std::string alphabet = "ab\r\n";
    for (int round = 0; round < 3000; ++round) {
        std::string stream;
        const int length = static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i) {
            stream += alphabet[random() % alphabet.size()];
        }
        std::string unfinished;
        const auto expected = WholeStreamLines(stream, unfinished);
        Collected got;
        LineAssembler assembler;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t size = std::min<std::size_t>(1 + random() % 5, stream.size() - at);
            assembler.Feed(Bytes(stream.substr(at, size)), got.Sink());
            at += size;
        }
        EXPECT_EQ(got.Lines, expected) << "stream " << Printable(stream);
        EXPECT_EQ(assembler.PendingSize(), unfinished.size()) << "stream " << Printable(stream);

        Collected atClose;
        assembler.Finish(atClose.Sink());
        const std::vector<std::string> last =
            unfinished.empty() ? std::vector<std::string>{} : std::vector<std::string>{unfinished};
        EXPECT_EQ(atClose.Lines, last) << "stream " << Printable(stream);
    }
}

TEST(LineAssembler, ALineIsHandedOutAtItsFirstLineEndByte) {
    // A PING must be answered without waiting for the server's next bytes.
    for (const char* stream : {"PING :x\r", "PING :x\n"}) {
        Collected got;
        LineAssembler assembler;
        assembler.Feed(Bytes(stream), got.Sink());
        EXPECT_EQ(got.Lines, std::vector<std::string>{"PING :x"}) << Printable(stream);
    }
}

TEST(LineAssembler, ALongLineIsHandedOutInPiecesNothingDropped) {
    constexpr std::size_t Max = LineAssembler::MaxPieceLength;
    const auto text = [](std::size_t size) { return std::string(size, 'x'); };
    struct Case {
        const char* Name;
        std::vector<std::string> Arrivals;
        std::vector<std::size_t> LineSizes;
        std::size_t Pending;
    };
    const std::vector<Case> cases = {
        {"exactly the limit, then its end", {text(Max), "\r\n"}, {Max}, 0},
        {"exactly the limit and its end in one arrival", {text(Max) + "\r\n"}, {Max}, 0},
        {"one byte over the limit", {text(Max + 1), "\r\n"}, {Max, 1}, 0},
        {"over the limit in several arrivals", {text(1000), text(Max), text(5)}, {Max}, 1005},
        {"three pieces in one arrival", {text(3 * Max + 7)}, {Max, Max, Max}, 7},
        {"a kanji pair across the limit stays whole", {"\x1b$B" + text(Max)}, {Max - 1}, 4},
    };
    for (const auto& c : cases) {
        std::vector<std::size_t> sizes;
        LineAssembler assembler;
        const LineAssembler::LineSink sink = [&](const LineAssembler::Piece& piece) {
            sizes.push_back(piece.Bytes.size());
        };
        for (const std::string& arrival : c.Arrivals) {
            assembler.Feed(Bytes(arrival), sink);
            EXPECT_LE(assembler.PendingSize(), Max) << c.Name;
        }
        EXPECT_EQ(sizes, c.LineSizes) << c.Name;
        EXPECT_EQ(assembler.PendingSize(), c.Pending) << c.Name;
    }
}

} // namespace
