#pragma once

#include <string>

// A text box as the window's behaviour sees it. Text is UTF-8.
class TextBox {
public:
    virtual ~TextBox() = default;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
};
