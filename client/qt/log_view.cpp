#include "client/qt/log_view.h"

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

void LogView::updateGeometries() {
    // Showing or hiding a scroll bar resizes the viewport, which asks for new geometries again;
    // the outer call sets the final range.
    if (m_updatingGeometries) {
        return;
    }
    m_updatingGeometries = true;
    QScrollBar* bar = horizontalScrollBar();
    const int column = bar->value();
    QListView::updateGeometries();
    const int width = viewport()->width();
    bar->setRange(0, std::max(0, m_HorizontalExtent - width));
    bar->setPageStep(width);
    bar->setValue(column);
    m_updatingGeometries = false;
}

void LogView::ScrollToLater(int row) {
    m_scrollTarget = m_model.index(row, 0);
    QueueScroll();
}

void LogView::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    if (m_scrollTarget.isValid()) {
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
    // A hidden list keeps its target: laying out its rows now would be wasted until it is shown.
    if (!m_scrollTarget.isValid() || !isVisible()) {
        return;
    }
    // The list box scrolls only vertically when an entry is selected; keep the reader's column.
    const int column = horizontalScrollBar()->value();
    scrollTo(m_scrollTarget, QAbstractItemView::EnsureVisible);
    horizontalScrollBar()->setValue(column);
    m_scrollTarget = QPersistentModelIndex();
}
