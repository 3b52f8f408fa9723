#pragma once

#include "client/list_box.h"

class LogView;

// The log's list box over the Qt log view. Selection goes through the view's selection model
// only, so that selecting never moves the current item (which would scroll at once), and takes
// effect at the end of the event-loop turn, like scrolling.
class QtListBox final : public ListBox {
public:
    explicit QtListBox(LogView& view) : m_view(view) {}

    int ListCount() const override;
    std::string List(int index) const override;
    void AddItem(const std::string& item, int index) override;
    void RemoveItem(int index) override;
    void SetListIndex(int index) override;
    int ListIndex() const override;
    void SetHorizontalExtent(int pixels) override;
    FontSpec Font() const override;

private:
    LogView& m_view;
};
