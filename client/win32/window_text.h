#pragma once

#include <windows.h>

#include <string>

// A window's text (a box's contents, a button's or label's caption) as UTF-8.
class WindowText {
public:
    static std::string Get(HWND window);
    static void Set(HWND window, const std::string& text);
};
