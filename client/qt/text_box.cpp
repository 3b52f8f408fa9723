#include "client/qt/text_box.h"

#include <QLineEdit>

std::string QtTextBox::Text() const {
    return m_edit.text().toStdString();
}

void QtTextBox::SetText(const std::string& text) {
    m_edit.setText(QString::fromStdString(text));
}
