#pragma once

#include "client/font_spec.h"

#include <QFont>

// Fonts between the window's behaviour and Qt.
class FontConversion {
public:
    static FontSpec FromQFont(const QFont& font);
    // Applies size, name, bold and italic, in this order, to a copy of base.
    static QFont ToQFont(const FontSpec& copied, const QFont& base);
};
