#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QStringView>

// The advance of each character on its own in one font, remembered, so that the width of a long
// text and the place of any of its characters come without laying out the whole text.
class CharacterAdvances {
public:
    // The log lays out texts up to this many UTF-16 units whole, exactly as drawn; a longer one is
    // measured and cut by its characters' advances.
    static constexpr qsizetype WholeLayoutLength = 1024;

    // Forgets what was remembered when the font differs.
    void SetFont(const QFont& font);
    // The advance of the character at `at` (a surrogate pair is one character); moves `at` past it.
    qreal Next(QStringView text, qsizetype& at);
    qreal Width(QStringView text);

private:
    QFont m_font;
    QFontMetricsF m_metrics{m_font};
    QHash<char32_t, qreal> m_advances;
};
