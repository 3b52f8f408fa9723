#pragma once

#include <QStyledItemDelegate>

// Draws each log entry as one unelided line across the whole horizontal extent, so that scrolling
// sideways reveals the rest of a long entry.
class LogItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void SetMinimumWidth(int pixels) { m_minimumWidth = pixels; }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    int m_minimumWidth = 0;
};
