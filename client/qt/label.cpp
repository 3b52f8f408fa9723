#include "client/qt/label.h"

#include "client/qt/font_conversion.h"

#include <QFontMetricsF>
#include <QLabel>

#include <cmath>

QtLabel::QtLabel(QLabel& label) : m_label(label) {
    Measure();
}

std::string QtLabel::Caption() const {
    return m_label.text().toStdString();
}

void QtLabel::SetCaption(const std::string& caption) {
    m_label.setText(QString::fromStdString(caption));
    Measure();
}

FontSpec QtLabel::Font() const {
    return FontConversion::FromQFont(m_label.font());
}

void QtLabel::SetFont(const FontSpec& font) {
    m_label.setFont(FontConversion::ToQFont(font, m_label.font()));
    Measure();
}

void QtLabel::Measure() {
    const QString text = m_label.text();
    const QFontMetricsF metrics(m_label.font());
    if (text.size() > CharacterAdvances::WholeLayoutLength) {
        m_advances.SetFont(m_label.font());
        m_Width = m_advances.Width(text);
    } else {
        m_Width = metrics.horizontalAdvance(text);
    }
    m_label.resize(static_cast<int>(std::ceil(m_Width)),
                   static_cast<int>(std::ceil(metrics.height())));
}
