#pragma once

#include "encoding/jis2sjis.h"

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
//
// A line longer than MaxPieceLength is handed out in pieces as its bytes arrive, cut between the
// characters of its JIS text, each with the mode that the piece before it ended in.
class LineAssembler {
public:
    // The longest valid IRC line with its line end: 512 bytes of message, 8,191 of IRCv3 tags and
    // the blank after them. Nothing longer is held.
    static constexpr std::size_t MaxPieceLength = 8704;

    // A line without its line end, or one piece of a line longer than MaxPieceLength.
    struct Piece {
        std::span<const std::uint8_t> Bytes; // valid during the sink's call
        JisMode Mode;                        // the mode the bytes start in
        bool Whole;                          // the whole line, not a piece of a longer one
    };
    using LineSink = std::function<void(const Piece& piece)>;

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
    JisMode m_mode = JisMode::SingleByte; // where the pending bytes start
    bool m_cut = false;                   // pieces of the pending line have been handed out
    std::uint64_t m_lineEnds = 0;         // line ends since the last text byte
    bool m_afterCR = false;               // a LF now would complete a CR LF
};
