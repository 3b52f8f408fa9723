#include "client/qt/log_item_delegate.h"

#include <QAbstractScrollArea>
#include <QApplication>

QSize LogItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (m_width > 0) {
        size.setWidth(m_width);
    }
    return size;
}

void LogItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    if (item.text.size() > CharacterAdvances::WholeLayoutLength) {
        CutToVisiblePart(item);
    }
    const QWidget* widget = item.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
}

void LogItemDelegate::CutToVisiblePart(QStyleOptionViewItem& item) const {
    // The row starts left of the view by as much as the list is scrolled sideways. The characters
    // within the view, and a few on either side so that those at its edges are shaped in their
    // context, are drawn from where their advances place them.
    int visibleWidth = item.rect.width();
    if (const auto* area = qobject_cast<const QAbstractScrollArea*>(item.widget)) {
        visibleWidth = area->viewport()->width();
    }
    const qreal slack = 4 * QFontMetricsF(item.font).height();
    const qreal from = -item.rect.left() - slack;
    const qreal to = visibleWidth - item.rect.left() + slack;
    m_advances.SetFont(item.font);
    const QStringView text(item.text);
    qsizetype first = 0;
    qreal firstX = 0;
    qreal x = 0;
    qsizetype at = 0;
    while (at < text.size() && x < to) {
        x += m_advances.Next(text, at);
        if (x <= from) {
            first = at;
            firstX = x;
        }
    }
    item.text = text.mid(first, at - first).toString();
    item.rect.setLeft(item.rect.left() + static_cast<int>(firstX));
}

void LogItemDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideNone;
}
