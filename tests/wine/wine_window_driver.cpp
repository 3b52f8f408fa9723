#include "tests/wine/wine_window_driver.h"

#include "tests/win32_agent/agent_text.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Wine's first start in a new prefix sets the prefix up, which takes far longer than a command.
constexpr auto StartTimeout = 300s;
constexpr auto CommandTimeout = 60s;
constexpr auto ExitTimeout = 10s;

std::vector<std::string> Words(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

} // namespace

std::unique_ptr<WindowDriver> WindowDriver::Make() {
    const char* agent = std::getenv("HOSHIWA_WIN32_AGENT");
    const char* runner = std::getenv("HOSHIWA_WINE_RUNNER");
    if (agent == nullptr || runner == nullptr) {
        throw std::runtime_error("HOSHIWA_WIN32_AGENT and HOSHIWA_WINE_RUNNER name the window "
                                 "agent and the program that runs it under Wine");
    }
    return std::make_unique<WineWindowDriver>(runner, agent);
}

WineWindowDriver::WineWindowDriver(const std::filesystem::path& runner,
                                   const std::filesystem::path& agent) {
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
        throw std::runtime_error("no pipes for the window agent");
    }
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0) {
        // The agent does not outlive a test program that dies.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        execl(runner.c_str(), runner.c_str(), agent.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    m_toAgent = input[1];
    m_fromAgent = output[0];
    if (m_pid < 0) {
        throw std::runtime_error("the window agent could not be started");
    }
    const std::string ready = ReadLine(StartTimeout);
    if (ready != "ready") {
        throw std::runtime_error("the window agent did not start: " + ready);
    }
}

WineWindowDriver::~WineWindowDriver() {
    // The agent closes its window (the window's unload step) and ends.
    try {
        Command("close");
    } catch (const std::exception&) {
        kill(m_pid, SIGKILL);
    }
    close(m_toAgent);
    close(m_fromAgent);
    const auto deadline = std::chrono::steady_clock::now() + ExitTimeout;
    while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            break;
        }
        usleep(10000);
    }
}

std::string WineWindowDriver::ReadLine(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::size_t end = m_pending.find('\n');
        if (end != std::string::npos) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            throw std::runtime_error("the window agent gave no answer in time");
        }
        pollfd ready{m_fromAgent, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            throw std::runtime_error("the window agent's output failed");
        }
        char buffer[4096];
        if ((ready.revents & (POLLIN | POLLHUP)) != 0) {
            const ssize_t got = read(m_fromAgent, buffer, sizeof buffer);
            if (got <= 0) {
                throw std::runtime_error("the window agent ended");
            }
            m_pending.append(buffer, static_cast<std::size_t>(got));
        }
    }
}

std::vector<std::string> WineWindowDriver::Command(const std::string& command) const {
    const std::string line = command + "\n";
    if (write(m_toAgent, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        throw std::runtime_error("the window agent takes no commands");
    }
    std::vector<std::string> reply = Words(ReadLine(CommandTimeout));
    if (reply.empty() || reply.front() != "ok") {
        throw std::runtime_error("the window agent failed: " + command);
    }
    reply.erase(reply.begin());
    return reply;
}

void WineWindowDriver::SetText(std::string_view box, const std::string& text) {
    Command("settext " + std::string(box) + " " + AgentText::ToHex(text));
}

void WineWindowDriver::Type(std::string_view box, const std::string& text) {
    Command("type " + std::string(box) + " " + AgentText::ToHex(text));
}

std::string WineWindowDriver::Text(std::string_view box) const {
    const auto reply = Command("text " + std::string(box));
    return reply.empty() ? std::string() : AgentText::FromHex(reply.front());
}

void WineWindowDriver::Click(std::string_view button) {
    Command("click " + std::string(button));
}

bool WineWindowDriver::Visible(std::string_view button) const {
    const auto reply = Command("visible " + std::string(button));
    return !reply.empty() && reply.front() == "1";
}

void WineWindowDriver::PressEnter() {
    Command("enter");
}

std::vector<std::string> WineWindowDriver::Entries() const {
    std::vector<std::string> entries;
    for (const std::string& word : Command("entries")) {
        entries.push_back(AgentText::FromHex(word));
    }
    return entries;
}

void WineWindowDriver::Turn(std::chrono::milliseconds atMost) {
    Command("turn " + std::to_string(atMost.count()));
}
