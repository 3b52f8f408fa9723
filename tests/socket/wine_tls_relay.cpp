#include "tests/socket/wine_tls_relay.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// Wine shows the Linux root as drive Z:.
std::string WindowsPath(const std::string& linuxPath) {
    std::string path = "Z:" + linuxPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

} // namespace

void WineTlsRelay::ProcessClose::operator()(void* process) const {
    CloseHandle(process);
}

WineTlsRelay::WineTlsRelay(std::uint16_t targetPort) {
    static int relays = 0;
    const char* tool = std::getenv("HOSHIWA_TLS_RELAY");
    if (tool == nullptr) {
        m_error = "HOSHIWA_TLS_RELAY names no relay program";
        return;
    }
    m_file = "/tmp/hoshiwa-relay-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(++relays);
    std::string command = WindowsPath(tool) + " " + std::to_string(targetPort) + " " + m_file;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        m_error = "the relay program did not start: " + command;
        return;
    }
    m_process.reset(process.hProcess);
    CloseHandle(process.hThread);
    std::string line;
    for (int wait = 0; wait < 200 && line.empty(); ++wait) {
        Sleep(50);
        std::getline(std::ifstream(WindowsPath(m_file)), line);
    }
    std::istringstream words(line);
    int port = 0;
    std::string hex;
    std::string rest;
    words >> port >> hex >> rest;
    if (port <= 0 || port > 65535 || hex.size() != 2 * m_fingerprint.size() || !rest.empty()) {
        m_error = "the relay said: " + line;
        return;
    }
    m_port = static_cast<std::uint16_t>(port);
    for (std::size_t i = 0; i < m_fingerprint.size(); ++i) {
        m_fingerprint[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    }
}

WineTlsRelay::~WineTlsRelay() {
    DeleteFileA(WindowsPath(m_file).c_str());
    if (m_process) {
        WaitForSingleObject(m_process.get(), 5000);
    }
}
