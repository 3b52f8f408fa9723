#include "client/qt/log_view.h"

#include <QAccessible>
#include <QScrollBar>

#include <algorithm>

LogView::LogView(QWidget* parent) : QListView(parent) {
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(&m_delegate);
    setModel(&m_model);
}

LogView::~LogView() {
    // The model and the delegate are members and die before the base class; detach them first.
    setModel(nullptr);
    setItemDelegate(nullptr);
}

void LogView::SetHorizontalExtent(int pixels) {
    pixels = std::max(pixels, 0);
    if (pixels == m_HorizontalExtent) {
        return;
    }
    m_HorizontalExtent = pixels;
    m_delegate.SetWidth(pixels);
    // The rows take their new width from the next layout, which also sets the scroll range.
    scheduleDelayedItemsLayout();
}

void LogView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    // The list moves its current item to the next row when the current row goes, which costs a
    // selection change and a repaint. A full log drops its oldest entry for every new one, and a
    // current item on the oldest row (where focus puts it) would move with each of them; the
    // current item goes with its row instead.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.parent() == parent && current.row() >= start &&
        current.row() <= end) {
        selectionModel()->clearCurrentIndex();
    }
    QListView::rowsAboutToBeRemoved(parent, start, end);
}

void LogView::updateGeometries() {
    // A scroll bar that comes or goes resizes the viewport, which asks for geometries again from
    // within this call; that inner call must run, or the rows keep the range of the old height and
    // the newest one ends up under the new bar. The list's own ranges may clamp the reader's
    // column on the way; it is kept.
    // A list that shows its last row keeps showing it when it loses height: the horizontal bar
    // appears when the longest entry is measured, which may be after the list scrolled to its end.
    QScrollBar* bar = horizontalScrollBar();
    QScrollBar* rows = verticalScrollBar();
    const int column = bar->value();
    const bool atEnd = rows->value() == rows->maximum();
    QListView::updateGeometries();
    const int width = viewport()->width();
    bar->setRange(0, std::max(0, m_HorizontalExtent - width));
    bar->setPageStep(width);
    bar->setValue(column);
    if (atEnd) {
        rows->setValue(rows->maximum());
    }
}

void LogView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    // The list's own handling asks where the changed rows are, which lays out every row again when
    // entries were added since the last layout; selecting the newest entry after each entry of a
    // flood would pay that per entry. Repainting what is in view costs the same however long the
    // log is. Assistive tools are told of the change in full, as the list does it.
    if (QAccessible::isActive()) {
        QListView::selectionChanged(selected, deselected);
        return;
    }
    if (isVisible() && updatesEnabled()) {
        viewport()->update();
    }
}

void LogView::ScrollToLater(int row) {
    // The log always scrolls to its last row, which stays the last row however many entries
    // follow in this turn; a persistent index for it would cost every insertion of the flood.
    m_scrollToEnd = row == m_model.rowCount() - 1;
    m_scrollTarget =
        m_scrollToEnd ? QPersistentModelIndex() : QPersistentModelIndex(m_model.index(row, 0));
    QueueScroll();
}

void LogView::SelectLater(int row) {
    const bool queued = m_selection != Selection::Settled;
    m_selectTarget = QPersistentModelIndex();
    if (row < 0 || row >= m_model.rowCount()) {
        m_selection = Selection::None;
    } else if (row == m_model.rowCount() - 1) {
        m_selection = Selection::LastRow;
    } else {
        m_selection = Selection::Row;
        m_selectTarget = QPersistentModelIndex(m_model.index(row, 0));
    }
    if (!queued) {
        QMetaObject::invokeMethod(this, &LogView::SelectNow, Qt::QueuedConnection);
    }
}

int LogView::SelectedRow() const {
    switch (m_selection) {
    case Selection::None:
        return -1;
    case Selection::LastRow:
        return m_model.rowCount() - 1;
    case Selection::Row:
        return m_selectTarget.isValid() ? m_selectTarget.row() : -1;
    case Selection::Settled:
        break;
    }
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void LogView::SelectNow() {
    const int row = SelectedRow();
    m_selection = Selection::Settled;
    m_selectTarget = QPersistentModelIndex();
    if (row < 0) {
        selectionModel()->clearSelection();
    } else {
        selectionModel()->select(m_model.index(row, 0), QItemSelectionModel::ClearAndSelect);
    }
}

bool LogView::ScrollPending() const {
    return m_scrollToEnd || m_scrollTarget.isValid();
}

void LogView::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    if (ScrollPending()) {
        QueueScroll();
    }
}

void LogView::QueueScroll() {
    if (m_scrollQueued) {
        return;
    }
    m_scrollQueued = true;
    QMetaObject::invokeMethod(this, &LogView::ScrollNow, Qt::QueuedConnection);
}

void LogView::ScrollNow() {
    m_scrollQueued = false;
    // A hidden list keeps its target until it is shown: before that, its scroll bars do not take
    // their places, and a row scrolled into view now could end up under one.
    if (!ScrollPending() || !isVisible()) {
        return;
    }
    const QModelIndex target =
        m_scrollToEnd ? m_model.index(m_model.rowCount() - 1, 0) : QModelIndex(m_scrollTarget);
    // The list box scrolls only vertically when an entry is selected; keep the reader's column.
    const int column = horizontalScrollBar()->value();
    scrollTo(target, QAbstractItemView::EnsureVisible);
    horizontalScrollBar()->setValue(column);
    m_scrollToEnd = false;
    m_scrollTarget = QPersistentModelIndex();
}
