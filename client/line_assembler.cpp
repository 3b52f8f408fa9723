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
        if (end < bytes.size() && m_pending.empty() && text.size() <= MaxLineLength) {
            // The whole line lies in this arrival: hand it out from there, without a copy.
            m_afterCR = bytes[end] == CarriageReturn;
            m_lineEnds = 1;
            sink(text);
            i = end + 1;
            continue;
        }
        AppendText(text, sink);
        i = end;
    }
}

void LineAssembler::Finish(const LineSink& sink) {
    if (!m_pending.empty()) {
        sink(m_pending);
    }
    Reset();
}

void LineAssembler::Reset() {
    m_pending.clear();
    m_lineEnds = 0;
    m_afterCR = false;
}

void LineAssembler::EndOfLine(const LineSink& sink) {
    ++m_lineEnds;
    if (m_lineEnds == 1) {
        sink(m_pending);
        m_pending.clear();
    } else if (m_lineEnds % 2 == 1) {
        sink({});
    }
}

void LineAssembler::AppendText(std::span<const std::uint8_t> text, const LineSink& sink) {
    // A full buffer is handed out only when another text byte comes, so that a line of exactly
    // MaxLineLength bytes followed by its line end stays one line.
    while (m_pending.size() + text.size() > MaxLineLength) {
        const std::size_t room = MaxLineLength - m_pending.size();
        m_pending.insert(m_pending.end(), text.begin(), text.begin() + room);
        text = text.subspan(room);
        sink(m_pending);
        m_pending.clear();
    }
    m_pending.insert(m_pending.end(), text.begin(), text.end());
}
