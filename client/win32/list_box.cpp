#include "client/win32/list_box.h"

#include "client/win32/gdi_font.h"
#include "client/win32/wide_text.h"

Win32ListBox::Win32ListBox(HWND list, HWND notify, UINT settleMessage)
    : m_list(list), m_notify(notify), m_settleMessage(settleMessage) {}

int Win32ListBox::ListCount() const {
    return static_cast<int>(SendMessageW(m_list, LB_GETCOUNT, 0, 0));
}

std::string Win32ListBox::List(int index) const {
    const LRESULT length = SendMessageW(m_list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) {
        return {};
    }
    std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(m_list, LB_GETTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return WideText::ToUtf8(entry);
}

void Win32ListBox::AddItem(const std::string& item, int index) {
    BeginChange();
    const std::wstring entry = WideText::FromUtf8(item);
    SendMessageW(m_list, LB_INSERTSTRING, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(entry.c_str()));
}

void Win32ListBox::RemoveItem(int index) {
    BeginChange();
    SendMessageW(m_list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void Win32ListBox::SetListIndex(int index) {
    BeginChange();
    m_selection = index;
    if (index >= 0) {
        m_scrollTarget = index;
    }
}

int Win32ListBox::ListIndex() const {
    return m_settlePending ? m_selection
                           : static_cast<int>(SendMessageW(m_list, LB_GETCURSEL, 0, 0));
}

void Win32ListBox::SetHorizontalExtent(int pixels) {
    SendMessageW(m_list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels), 0);
}

FontSpec Win32ListBox::Font() const {
    return GdiFont::SpecOf(reinterpret_cast<HFONT>(SendMessageW(m_list, WM_GETFONT, 0, 0)));
}

void Win32ListBox::BeginChange() {
    if (m_settlePending) {
        return;
    }
    m_selection = static_cast<int>(SendMessageW(m_list, LB_GETCURSEL, 0, 0));
    m_scrollTarget = -1;
    // Without a posted message the turn's changes would only show at the next one.
    m_settlePending = PostMessageW(m_notify, m_settleMessage, 0, 0) != FALSE;
    if (m_settlePending) {
        SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    }
}

void Win32ListBox::Settle() {
    if (!m_settlePending) {
        return;
    }
    m_settlePending = false;
    // Drawing goes back on first, so that a horizontal scroll bar the turn brought is there and
    // the scroll keeps the entry clear of it.
    SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    const int count = ListCount();
    if (m_scrollTarget >= 0 && m_scrollTarget < count) {
        ScrollIntoView(m_scrollTarget);
    }
    const int selection = m_selection < count ? m_selection : -1;
    if (SendMessageW(m_list, LB_GETCURSEL, 0, 0) != selection) {
        SendMessageW(m_list, LB_SETCURSEL, static_cast<WPARAM>(selection), 0);
    }
    RedrawWindow(m_list, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

void Win32ListBox::ScrollIntoView(int index) {
    RECT client{};
    GetClientRect(m_list, &client);
    const LRESULT itemHeight = SendMessageW(m_list, LB_GETITEMHEIGHT, 0, 0);
    const int rows =
        itemHeight > 0 ? static_cast<int>((client.bottom - client.top) / itemHeight) : 1;
    const int visible = rows > 0 ? rows : 1;
    const int top = static_cast<int>(SendMessageW(m_list, LB_GETTOPINDEX, 0, 0));
    if (index < top) {
        SendMessageW(m_list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    } else if (index >= top + visible) {
        SendMessageW(m_list, LB_SETTOPINDEX, static_cast<WPARAM>(index - visible + 1), 0);
    }
}
