#pragma once

#include "tests/e2e/window_driver.h"

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

// The Windows front end's window, run under Wine by the window agent (a test build that drives its
// own window with window messages): each call is one command line to the agent's input and one
// reply line from its output. The agent's message loop runs only while a command is carried out,
// as the Qt driver's runs only in Turn.
class WineWindowDriver final : public WindowDriver {
public:
    // agent: the agent's .exe; runner: the program that runs it under Wine.
    WineWindowDriver(const std::filesystem::path& runner, const std::filesystem::path& agent);
    ~WineWindowDriver() override;
    WineWindowDriver(const WineWindowDriver&) = delete;
    WineWindowDriver& operator=(const WineWindowDriver&) = delete;

    void SetText(std::string_view box, const std::string& text) override;
    void Type(std::string_view box, const std::string& text) override;
    std::string Text(std::string_view box) const override;
    void Click(std::string_view button) override;
    bool Visible(std::string_view button) const override;
    void PressEnter() override;
    std::vector<std::string> Entries() const override;
    void Turn(std::chrono::milliseconds atMost) override;

private:
    // Sends one command and returns the words of its reply; throws when the agent fails or stays
    // silent too long.
    std::vector<std::string> Command(const std::string& command) const;
    std::string ReadLine(std::chrono::milliseconds timeout) const;

    pid_t m_pid = -1;
    int m_toAgent = -1;
    int m_fromAgent = -1;
    mutable std::string m_pending;
};
