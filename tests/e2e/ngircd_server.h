#pragma once

#include "tests/tls/test_certificates.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

// A private ngircd on a free loopback port, configured in a temporary folder of its own. The
// server lives at most Lifetime even if this process dies without running the destructor, and the
// destructor stops it and removes the folder.
class NgircdServer {
public:
    struct Options {
        std::string Name = "irc.hoshiwa.test";
        std::string Motd = "Hoshiwa test server";
        // Idle seconds before the server pings a client, and the seconds it waits for the PONG.
        // ngircd accepts nothing below 5.
        int PingTimeout = 5;
        int PongTimeout = 5;
        std::chrono::seconds Lifetime{600};
        // When set, the server also takes TLS connections on TlsPort with this certificate.
        std::optional<TestCertificates::Pair> Tls;
        std::filesystem::path DhParameters;
    };

    NgircdServer();
    explicit NgircdServer(Options options);
    ~NgircdServer();
    NgircdServer(const NgircdServer&) = delete;
    NgircdServer& operator=(const NgircdServer&) = delete;

    // Writes the configuration, starts the server and waits until its port accepts connections.
    // On failure Error() tells why, with the server's own output.
    bool Start(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Stops the server and reaps it; harmless when it is not running.
    void Stop();
    bool Running();

    int Port() const { return m_Port; }
    int TlsPort() const { return m_TlsPort; }
    // The server as the host box names it: "127.0.0.1:<port>".
    std::string HostAndPort() const;
    const std::string& Name() const { return m_options.Name; }
    const std::filesystem::path& ConfigFile() const { return m_configFile; }
    const std::string& Error() const { return m_error; }
    // What the server printed so far.
    std::string Output() const;
    // ngircd's own check of the written configuration: what it prints, warnings included.
    std::string ConfigTest();

    // A loopback port that was free a moment ago.
    static int FreePort();

private:
    static void RemoveFoldersOfEndedRuns();
    bool MakeFolder();
    bool WriteConfig();
    bool Spawn();
    bool WaitUntilAccepting(std::chrono::milliseconds timeout);
    bool Reap(std::chrono::milliseconds timeout);

    Options m_options;
    std::filesystem::path m_folder;
    std::filesystem::path m_configFile;
    std::filesystem::path m_outputFile;
    int m_Port = 0;
    int m_TlsPort = 0;
    pid_t m_pid = -1;
    std::string m_error;
};
