#pragma once

#include <QStyledItemDelegate>

// Draws each log entry as one unelided line as wide as the log's horizontal extent, so that
// scrolling sideways reveals the rest of a long entry and the list's own idea of its width agrees
// with the extent.
class LogItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // 0: each row as wide as its own text.
    void SetWidth(int pixels) { m_width = pixels; }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    int m_width = 0;
};
