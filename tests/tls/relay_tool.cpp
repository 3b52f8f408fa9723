// A TLS relay in front of a loopback port, as a program of its own for the Windows tests under
// Wine, which start Linux programs as they start their own (but hand them no pipes): it writes its
// port and its certificate's fingerprint on one line into the file named, and ends when the file
// is removed or its lifetime is over.

#include "tests/tls/tls_relay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <port to pass the decrypted stream to> <file>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path file = argv[2];
    TestCertificates certificates;
    TlsRelay::Options options;
    options.Identity = certificates.Server();
    options.TargetPort = std::stoi(argv[1]);
    TlsRelay relay(options);
    std::string fingerprint = certificates.Fingerprint(certificates.Server());
    fingerprint.erase(std::remove(fingerprint.begin(), fingerprint.end(), ':'), fingerprint.end());
    {
        // Written whole under another name, so that a reader never sees half a line.
        const std::filesystem::path partial = file.string() + ".partial";
        std::ofstream(partial) << relay.Port() << " " << fingerprint << " "
                               << (certificates.Made() && relay.Listening() ? "" : "error: ")
                               << certificates.Error() << "\n";
        std::filesystem::rename(partial, file);
    }
    const auto end = std::chrono::steady_clock::now() + options.Lifetime;
    while (std::filesystem::exists(file) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}
