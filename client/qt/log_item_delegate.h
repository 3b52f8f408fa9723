#pragma once

#include "client/qt/character_advances.h"

#include <QStyledItemDelegate>

// Draws each log entry as one unelided line as wide as the log's horizontal extent, so that
// scrolling sideways reveals the rest of a long entry and the list's own idea of its width agrees
// with the extent. Only the part of an entry that can be seen is laid out and drawn: an entry of
// thousands of characters costs what an ordinary one does.
class LogItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // 0: each row as wide as its own text.
    void SetWidth(int pixels) { m_width = pixels; }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    // Keeps the characters in view and moves the row's start to the first of them.
    void CutToVisiblePart(QStyleOptionViewItem& item) const;

    int m_width = 0;
    // Places characters of entries too long to be laid out whole.
    mutable CharacterAdvances m_advances;
};
