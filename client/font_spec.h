#pragma once

#include <string>

// What the window copies from one control's font to another's.
struct FontSpec {
    double Size = 9.0; // points
    std::string Name;
    bool Bold = false;
    bool Italic = false;
    bool operator==(const FontSpec&) const = default;
};
