#include "client/qt/log_model.h"

int LogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant LogModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    return m_entries[static_cast<std::size_t>(index.row())];
}

void LogModel::InsertEntry(int row, const QString& text) {
    const int count = rowCount();
    if (row < 0 || row > count) {
        row = count;
    }
    beginInsertRows(QModelIndex(), row, row);
    m_entries.insert(m_entries.begin() + row, text);
    endInsertRows();
}

void LogModel::RemoveEntry(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    m_entries.erase(m_entries.begin() + row);
    endRemoveRows();
}

QString LogModel::Entry(int row) const {
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    return m_entries[static_cast<std::size_t>(row)];
}
