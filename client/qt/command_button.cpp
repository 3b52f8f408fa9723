#include "client/qt/command_button.h"

#include <QPushButton>

bool QtCommandButton::Visible() const {
    return !m_button.isHidden();
}

void QtCommandButton::SetVisible(bool visible) {
    m_button.setVisible(visible);
}
