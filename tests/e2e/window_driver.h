#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The main window as an end-to-end test drives it: boxes by name, clicks, Enter in the input line,
// the log as the list shows it, and turns of the window's event loop. Controls are named as in the
// window's layout ("Txt_Host", "Cmd_Connect").
class WindowDriver {
public:
    virtual ~WindowDriver() = default;

    virtual void SetText(std::string_view box, const std::string& text) = 0;
    // Types the text into the box key by key, after what it holds.
    virtual void Type(std::string_view box, const std::string& text) = 0;
    virtual std::string Text(std::string_view box) const = 0;
    virtual void Click(std::string_view button) = 0;
    virtual bool Visible(std::string_view button) const = 0;
    // Types the Enter key into Txt_SendMsg.
    virtual void PressEnter() = 0;
    // The list's entries, oldest first, the blank last entry included.
    virtual std::vector<std::string> Entries() const = 0;
    // Runs the window's event loop for at most the given time.
    virtual void Turn(std::chrono::milliseconds atMost) = 0;

    // The logged texts without their "hh:mm:ss " times, oldest first.
    std::vector<std::string> LoggedTexts() const;
    // The index in LoggedTexts() of the first text at or after from that matches, if any.
    std::optional<std::size_t> FindLogged(const std::function<bool(const std::string&)>& match,
                                          std::size_t from = 0) const;

    // Whether an entry starts with the time of day, "hh:mm:ss ".
    static bool IsTimedEntry(const std::string& entry);

    static constexpr std::chrono::milliseconds TurnLength{20};

    // The window of the front end the test program is built with.
    static std::unique_ptr<WindowDriver> Make();
};
