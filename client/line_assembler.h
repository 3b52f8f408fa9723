#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// Cuts the bytes a server sends into lines, however the network splits them into arrivals.
//
// CR LF, a lone CR and a lone LF each end a line. Several line ends in a row collapse as the log
// has always shown them: a run of k line ends after a line gives that line and then ceil(k/2) - 1
// empty lines. Every line end is counted at its first byte, so a line is handed out as soon as its
// end arrives; only whether a LF after a CR belongs to it is carried to the next arrival.
class LineAssembler {
public:
    // An unfinished line is never held beyond this; its first MaxLineLength bytes are handed out
    // as a line of their own when more text arrives.
    static constexpr std::size_t MaxLineLength = 64 * 1024;

    // Receives the bytes of one line, without its line end. The bytes are valid during the call.
    using LineSink = std::function<void(std::span<const std::uint8_t> line)>;

    void Feed(std::span<const std::uint8_t> bytes, const LineSink& sink);
    // The stream has ended: hands out an unfinished last line, if there is one, and starts over.
    void Finish(const LineSink& sink);
    void Reset();

    // The bytes of the unfinished line held for the next arrival.
    std::size_t PendingSize() const { return m_pending.size(); }

private:
    void EndOfLine(const LineSink& sink);
    void AppendText(std::span<const std::uint8_t> text, const LineSink& sink);

    std::vector<std::uint8_t> m_pending;
    std::uint64_t m_lineEnds = 0; // line ends since the last text byte
    bool m_afterCR = false;       // a LF now would complete a CR LF
};
