#pragma once

#include "client/font_spec.h"

#include <string>

// The hidden measuring label: it sizes itself to its caption.
class Label {
public:
    virtual ~Label() = default;
    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // The drawn width of the caption in pixels, in the label's font.
    virtual double Width() const = 0;
    virtual FontSpec Font() const = 0;
    virtual void SetFont(const FontSpec& font) = 0;
};
