#pragma once

#include "client/qt/log_item_delegate.h"
#include "client/qt/log_model.h"

#include <QListView>
#include <QPersistentModelIndex>

// The message log: a list of one-line entries of equal height over its own model. Its horizontal
// scroll range is set from outside (the width of the longest entry) and ends exactly there.
// Bringing an entry into view is done once per event-loop turn, because every scroll makes the
// list lay out all its rows again, and a flood of entries would otherwise cost that per entry.
class LogView final : public QListView {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);
    ~LogView() override;
    LogView(const LogView&) = delete;
    LogView& operator=(const LogView&) = delete;

    LogModel& Model() { return m_model; }
    const LogModel& Model() const { return m_model; }

    void SetHorizontalExtent(int pixels);
    int HorizontalExtent() const { return m_HorizontalExtent; }

    // Scrolls vertically so that the row is in view, at the end of this event-loop turn; a later
    // request in the same turn replaces an earlier one. A hidden list scrolls when it is shown.
    void ScrollToLater(int row);
    // Selects the row (nothing for -1) at the end of this event-loop turn; a later request in the
    // same turn replaces an earlier one. Every entry logged selects and deselects the last row, and
    // a real selection change per entry would make a flood pay for it each time.
    void SelectLater(int row);
    // The selected row as it will be at the end of this turn; -1 for none.
    int SelectedRow() const;

protected:
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void updateGeometries() override;
    void showEvent(QShowEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    enum class Selection { Settled, None, LastRow, Row };

    bool ScrollPending() const;
    void SelectNow();
    void QueueScroll();
    void ScrollNow();

    LogModel m_model;
    LogItemDelegate m_delegate;
    int m_HorizontalExtent = 0;
    bool m_scrollToEnd = false;
    QPersistentModelIndex m_scrollTarget; // any other row
    bool m_scrollQueued = false;
    Selection m_selection = Selection::Settled;
    QPersistentModelIndex m_selectTarget; // for Selection::Row
};
