#pragma once

#include <windows.h>

// The keys Windows users expect of the window's controls beyond what the system's controls do:
// Ctrl+A selects all of a box's text; Ctrl+C and Ctrl+Insert copy the log's selected entry as it
// is shown; a paste into the input line keeps its line breaks, so that the line is refused when
// it is sent rather than cut silently where the system's one-line box would cut it.
class ControlKeys {
public:
    static void ForTextBox(HWND edit);
    static void ForInputLine(HWND edit);
    static void ForLog(HWND list);
};
