#include "tests/e2e/ngircd_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string_view>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* NgircdPath = "/usr/sbin/ngircd";
// The server runs under timeout(1), which ends it when its lifetime is over or when this process
// dies (the parent-death signal reaches timeout, which passes it on).
constexpr const char* TimeoutPath = "/usr/bin/timeout";
constexpr int StartAttempts = 3;
constexpr std::string_view FolderPrefix = "hoshiwa-ngircd-";
constexpr auto PollInterval = std::chrono::milliseconds(20);
constexpr auto StopGrace = std::chrono::seconds(3);

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const sockaddr_in address = Loopback(port);
    // A loopback connect completes or is refused at once.
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

NgircdServer::NgircdServer() : NgircdServer(Options{}) {}

NgircdServer::NgircdServer(Options options) : m_options(std::move(options)) {}

NgircdServer::~NgircdServer() {
    Stop();
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

int NgircdServer::FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

std::string NgircdServer::HostAndPort() const {
    return "127.0.0.1:" + std::to_string(m_Port);
}

bool NgircdServer::Start(std::chrono::milliseconds timeout) {
    if (m_pid > 0) {
        m_error = "already running";
        return false;
    }
    if (::access(NgircdPath, X_OK) != 0 || ::access(TimeoutPath, X_OK) != 0) {
        m_error = std::string(NgircdPath) + " or " + TimeoutPath + " is missing";
        return false;
    }
    if (!MakeFolder()) {
        return false;
    }
    // Another process may take the port between FreePort and the server's bind: try a new port.
    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        m_Port = FreePort();
        m_TlsPort = m_options.Tls ? FreePort() : 0;
        if (m_Port == 0 || (m_options.Tls && (m_TlsPort == 0 || m_TlsPort == m_Port))) {
            m_error = "no free loopback port";
            return false;
        }
        if (!WriteConfig() || !Spawn()) {
            return false;
        }
        if (WaitUntilAccepting(timeout)) {
            m_error.clear();
            return true;
        }
        Stop();
    }
    return false;
}

// A test program that crashed or was killed left its folder behind; its server has ended with it.
void NgircdServer::RemoveFoldersOfEndedRuns() {
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(FolderPrefix)) {
            continue;
        }
        const std::string_view owner = std::string_view(name).substr(FolderPrefix.size());
        pid_t pid = 0;
        const auto [end, parsed] = std::from_chars(owner.data(), owner.data() + owner.size(), pid);
        if (parsed == std::errc() && end != owner.data() && end != owner.data() + owner.size() &&
            *end == '-' && pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) {
            std::filesystem::remove_all(entry.path(), error);
        }
    }
}

bool NgircdServer::MakeFolder() {
    if (!m_folder.empty()) {
        return true;
    }
    RemoveFoldersOfEndedRuns();
    // The owner's process id in the name tells later runs whether the folder is still in use.
    std::string pattern = std::filesystem::temp_directory_path() /
                          (std::string(FolderPrefix) + std::to_string(::getpid()) + "-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) {
        m_error = "mkdtemp: " + std::string(std::strerror(errno));
        return false;
    }
    m_folder = pattern;
    m_configFile = m_folder / "ngircd.conf";
    m_outputFile = m_folder / "output.txt";
    // Started as root, ngircd drops to "nobody", which must still reach its PID file.
    std::filesystem::create_directory(m_folder / "run");
    std::filesystem::create_directory(m_folder / "conf.d");
    ::chmod(m_folder.c_str(), 0755);
    ::chmod((m_folder / "run").c_str(), 01777);
    return true;
}

bool NgircdServer::WriteConfig() {
    std::ofstream config(m_configFile, std::ios::trunc);
    config << "[Global]\n"
           << "Name = " << m_options.Name << "\n"
           << "Info = Hoshiwa end-to-end test server\n"
           << "AdminInfo1 = Hoshiwa tests\n"
           << "AdminInfo2 = loopback only\n"
           << "AdminEMail = nobody@localhost\n"
           << "Listen = 127.0.0.1\n"
           << "Ports = " << m_Port << "\n"
           << "MotdPhrase = \"" << m_options.Motd << "\"\n"
           << "PidFile = " << (m_folder / "run" / "ngircd.pid").string() << "\n"
           << "[Limits]\n"
           << "PingTimeout = " << m_options.PingTimeout << "\n"
           << "PongTimeout = " << m_options.PongTimeout << "\n"
           << "MaxConnectionsIP = 0\n"
           << "MaxNickLength = 30\n"
           << "[Options]\n"
           << "PAM = no\n"
           << "Ident = no\n"
           << "DNS = no\n"
           // The system's snippets must not change a private server.
           << "IncludeDir = " << (m_folder / "conf.d").string() << "\n";
    if (m_options.Tls) {
        config << "[SSL]\n"
               << "CertFile = " << m_options.Tls->Certificate.string() << "\n"
               << "KeyFile = " << m_options.Tls->Key.string() << "\n"
               << "DHFile = " << m_options.DhParameters.string() << "\n"
               << "Ports = " << m_TlsPort << "\n";
    }
    config.close();
    if (!config) {
        m_error = "cannot write " + m_configFile.string();
        return false;
    }
    return true;
}

bool NgircdServer::Spawn() {
    const std::string lifetime = std::to_string(m_options.Lifetime.count()) + "s";
    const std::string configFile = m_configFile.string();
    const std::string outputFile = m_outputFile.string();
    std::vector<const char*> argv = {
        TimeoutPath,      "-s",       "TERM",       "-k",       "2",
        lifetime.c_str(), NgircdPath, "--nodaemon", "--config", configFile.c_str(),
        nullptr};
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0) {
        m_error = "fork: " + std::string(std::strerror(errno));
        return false;
    }
    if (pid == 0) {
        // Only async-signal-safe calls until exec: the parent may have other threads.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        const int output = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int input = ::open("/dev/null", O_RDONLY);
        if (output < 0 || input < 0) {
            ::_exit(127);
        }
        ::dup2(input, STDIN_FILENO);
        ::dup2(output, STDOUT_FILENO);
        ::dup2(output, STDERR_FILENO);
        ::execv(TimeoutPath, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    // Also in the parent, so that a kill of the group cannot race the child's own setpgid.
    ::setpgid(pid, pid);
    m_pid = pid;
    return true;
}

bool NgircdServer::WaitUntilAccepting(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!Running()) {
            m_error = "ngircd ended before it accepted connections:\n" + Output();
            return false;
        }
        if (Accepts(m_Port) && (m_TlsPort == 0 || Accepts(m_TlsPort))) {
            return true;
        }
        std::this_thread::sleep_for(PollInterval);
    }
    m_error = "ngircd did not accept connections in time:\n" + Output();
    return false;
}

bool NgircdServer::Running() {
    if (m_pid <= 0) {
        return false;
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return false;
    }
    return true;
}

bool NgircdServer::Reap(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(PollInterval);
    }
    return true;
}

void NgircdServer::Stop() {
    if (!Running()) {
        return;
    }
    // The group holds timeout(1) and the server; the group id is valid until timeout is reaped.
    ::kill(-m_pid, SIGTERM);
    if (Reap(StopGrace)) {
        return;
    }
    ::kill(-m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

std::string NgircdServer::ConfigTest() {
    if (!MakeFolder() || (m_Port == 0 && (m_Port = FreePort()) == 0) || !WriteConfig()) {
        return m_error;
    }
    const std::string command = std::string(TimeoutPath) + " 10 " + NgircdPath +
                                " --configtest --config '" + m_configFile.string() + "' 2>&1";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[4096];
        std::size_t size = 0;
        while ((size = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
            text.append(chunk, size);
        }
        ::pclose(pipe);
    }
    return text;
}

std::string NgircdServer::Output() const {
    std::ifstream file(m_outputFile);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
