#pragma once

#include "client/font_spec.h"

#include <string>

// The log's list box. Entries are UTF-8; indexes start at 0.
class ListBox {
public:
    virtual ~ListBox() = default;
    virtual int ListCount() const = 0;
    virtual std::string List(int index) const = 0;
    virtual void AddItem(const std::string& item, int index) = 0;
    virtual void RemoveItem(int index) = 0;
    // Selects the entry at index and scrolls it into view; -1 leaves no entry selected.
    virtual void SetListIndex(int index) = 0;
    virtual int ListIndex() const = 0;
    // The horizontal scroll range in pixels.
    virtual void SetHorizontalExtent(int pixels) = 0;
    virtual FontSpec Font() const = 0;
};
