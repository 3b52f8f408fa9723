#include "client/qt/qt_label.h"

#include "client/qt/font_conversion.h"

#include <QFontMetricsF>
#include <QLabel>

std::string QtLabel::Caption() const {
    return m_label.text().toStdString();
}

void QtLabel::SetCaption(const std::string& caption) {
    m_label.setText(QString::fromStdString(caption));
    m_label.adjustSize();
}

double QtLabel::Width() const {
    return QFontMetricsF(m_label.font()).horizontalAdvance(m_label.text());
}

FontSpec QtLabel::Font() const {
    return FontConversion::FromQFont(m_label.font());
}

void QtLabel::SetFont(const FontSpec& font) {
    m_label.setFont(FontConversion::ToQFont(font, m_label.font()));
    m_label.adjustSize();
}
