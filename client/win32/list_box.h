#pragma once

#include "client/list_box.h"

#include <windows.h>

// The log's list box over a LISTBOX control. Inserting, removing and selecting entries only record
// what is wanted; the list is redrawn, scrolled and its selection set once, when the window has
// handled the message posted at the first change of the message-loop turn (Settle). A flood of
// entries then costs one scroll and one paint, not one per entry.
class Win32ListBox final : public ListBox {
public:
    // Settling is asked for by posting settleMessage to notify, whose procedure calls Settle.
    Win32ListBox(HWND list, HWND notify, UINT settleMessage);

    HWND Handle() const { return m_list; }

    int ListCount() const override;
    std::string List(int index) const override;
    void AddItem(const std::string& item, int index) override;
    void RemoveItem(int index) override;
    // Selects at the end of the turn and brings the entry into view then; -1 selects nothing.
    void SetListIndex(int index) override;
    int ListIndex() const override;
    void SetHorizontalExtent(int pixels) override;
    FontSpec Font() const override;

    // Carries out the turn's scroll and selection and draws the list again.
    void Settle();
    bool SettlePending() const { return m_settlePending; }

private:
    void BeginChange();
    void ScrollIntoView(int index);

    HWND m_list;
    HWND m_notify;
    UINT m_settleMessage;
    bool m_settlePending = false;
    int m_selection = -1; // what Settle selects
    int m_scrollTarget = -1;
};
