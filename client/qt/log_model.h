#pragma once

#include <QAbstractListModel>
#include <QString>

#include <deque>

// The log's entries. The log grows at its end and, once full, loses its oldest entry, so both
// ends must be cheap.
class LogModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // A row outside 0..count is taken as count: the entry goes to the end.
    void InsertEntry(int row, const QString& text);
    // A row that does not exist is ignored.
    void RemoveEntry(int row);
    // An empty text for a row that does not exist.
    QString Entry(int row) const;

private:
    std::deque<QString> m_entries;
};
