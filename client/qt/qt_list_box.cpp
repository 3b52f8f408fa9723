#include "client/qt/qt_list_box.h"

#include "client/qt/font_conversion.h"
#include "client/qt/log_view.h"

#include <QItemSelectionModel>

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
    QItemSelectionModel* selection = m_view.selectionModel();
    if (index < 0 || index >= ListCount()) {
        selection->clearSelection();
        return;
    }
    selection->select(m_view.Model().index(index, 0), QItemSelectionModel::ClearAndSelect);
    m_view.ScrollToLater(index);
}

int QtListBox::ListIndex() const {
    const QModelIndexList rows = m_view.selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void QtListBox::SetHorizontalExtent(int pixels) {
    m_view.SetHorizontalExtent(pixels);
}

FontSpec QtListBox::Font() const {
    return FontConversion::FromQFont(m_view.font());
}
