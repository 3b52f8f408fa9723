#include "client/qt/character_advances.h"

namespace {

// A text with every code point in it would otherwise hold megabytes.
constexpr qsizetype MaxRemembered = 16384;

} // namespace

void CharacterAdvances::SetFont(const QFont& font) {
    if (font == m_font) {
        return;
    }
    m_font = font;
    m_metrics = QFontMetricsF(font);
    m_advances.clear();
}

qreal CharacterAdvances::Next(QStringView text, qsizetype& at) {
    const qsizetype start = at;
    char32_t code = text[at].unicode();
    ++at;
    if (QChar::isHighSurrogate(code) && at < text.size() && text[at].isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text[start], text[at]);
        ++at;
    }
    const auto found = m_advances.constFind(code);
    if (found != m_advances.cend()) {
        return *found;
    }
    if (m_advances.size() >= MaxRemembered) {
        m_advances.clear();
    }
    const qreal advance = m_metrics.horizontalAdvance(text.mid(start, at - start).toString());
    m_advances.insert(code, advance);
    return advance;
}

qreal CharacterAdvances::Width(QStringView text) {
    qreal width = 0;
    for (qsizetype at = 0; at < text.size();) {
        width += Next(text, at);
    }
    return width;
}
