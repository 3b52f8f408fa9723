#include "client/line_assembler.h"

#include <algorithm>

namespace {

constexpr std::uint8_t CarriageReturn = 13;
constexpr std::uint8_t LineFeed = 10;

bool IsLineEnd(std::uint8_t b) {
    return b == CarriageReturn || b == LineFeed;
}

} // namespace

void LineAssembler::Feed(std::span<const std::uint8_t> bytes, const LineSink& sink) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t b = bytes[i];
        if (IsLineEnd(b)) {
            if (b == LineFeed && m_afterCR) {
                m_afterCR = false;
            } else {
                m_afterCR = b == CarriageReturn;
                EndOfLine(sink);
            }
            ++i;
            continue;
        }
        const auto textEnd = std::find_if(bytes.begin() + i, bytes.end(), IsLineEnd);
        const std::size_t end = static_cast<std::size_t>(textEnd - bytes.begin());
        const auto text = bytes.subspan(i, end - i);
        m_afterCR = false;
        m_lineEnds = 0;
        if (end < bytes.size() && m_pending.empty() && !m_cut && text.size() <= MaxPieceLength) {
            // The whole line lies in this arrival: hand it out from there, without a copy.
            m_afterCR = bytes[end] == CarriageReturn;
            m_lineEnds = 1;
            sink({text, JisMode::SingleByte, true});
            i = end + 1;
            continue;
        }
        AppendText(text, sink);
        i = end;
    }
}

void LineAssembler::Finish(const LineSink& sink) {
    if (!m_pending.empty()) {
        sink({m_pending, m_mode, !m_cut});
    }
    Reset();
}

void LineAssembler::Reset() {
    m_pending.clear();
    m_mode = JisMode::SingleByte;
    m_cut = false;
    m_lineEnds = 0;
    m_afterCR = false;
}

void LineAssembler::EndOfLine(const LineSink& sink) {
    ++m_lineEnds;
    if (m_lineEnds == 1) {
        sink({m_pending, m_mode, !m_cut});
        m_pending.clear();
        m_mode = JisMode::SingleByte;
        m_cut = false;
    } else if (m_lineEnds % 2 == 1) {
        sink({{}, JisMode::SingleByte, true});
    }
}

void LineAssembler::AppendText(std::span<const std::uint8_t> text, const LineSink& sink) {
    // A piece is cut only once a byte past the limit is there, so that a line of exactly
    // MaxPieceLength bytes followed by its line end stays whole; that byte also shows whether a
    // character starts right before the limit. A cut leaves at most a few bytes held.
    while (m_pending.size() + text.size() > MaxPieceLength) {
        const std::size_t take = std::min(text.size(), MaxPieceLength + 1 - m_pending.size());
        m_pending.insert(m_pending.end(), text.begin(), text.begin() + take);
        text = text.subspan(take);
        JisMode next = m_mode;
        const std::size_t length = JisPieceLength(m_pending, next, MaxPieceLength);
        sink({std::span(m_pending).first(length), m_mode, false});
        m_mode = next;
        m_cut = true;
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(length));
    }
    m_pending.insert(m_pending.end(), text.begin(), text.end());
}
