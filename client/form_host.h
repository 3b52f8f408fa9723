#pragma once

#include <functional>
#include <string>

struct TimeOfDay {
    int Hour = 0; // 0-23
    int Minute = 0;
    int Second = 0;
};

// What the window needs from the program around it.
class FormHost {
public:
    virtual ~FormHost() = default;
    // A modal message box with an OK button only; returns when the user has closed it.
    virtual void MsgBox(const std::string& text) = 0;
    // Ends the program.
    virtual void End() = 0;
    virtual TimeOfDay Now() const = 0;
    // Runs work once the rest of this event-loop turn is done, before the window paints, so that
    // a flood of entries pays for it once. The host drops work it has not run when it goes.
    virtual void AtEndOfTurn(std::function<void()> work) = 0;
};
