#include "client/qt/list_box.h"

#include "client/qt/font_conversion.h"
#include "client/qt/log_view.h"

int QtListBox::ListCount() const {
    return m_view.Model().rowCount();
}

std::string QtListBox::List(int index) const {
    return m_view.Model().Entry(index).toStdString();
}

void QtListBox::AddItem(const std::string& item, int index) {
    m_view.Model().InsertEntry(index, QString::fromStdString(item));
}

void QtListBox::RemoveItem(int index) {
    m_view.Model().RemoveEntry(index);
}

void QtListBox::SetListIndex(int index) {
    m_view.SelectLater(index);
    if (index >= 0 && index < ListCount()) {
        m_view.ScrollToLater(index);
    }
}

int QtListBox::ListIndex() const {
    return m_view.SelectedRow();
}

void QtListBox::SetHorizontalExtent(int pixels) {
    m_view.SetHorizontalExtent(pixels);
}

FontSpec QtListBox::Font() const {
    return FontConversion::FromQFont(m_view.font());
}
