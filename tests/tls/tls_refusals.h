#pragma once

#include "tests/tls/tls_relay.h"

#include <filesystem>
#include <string>
#include <vector>

// A server the client must refuse, and what the client logs for it: the same on every platform.
struct TlsRefusal {
    const char* Name;
    std::filesystem::path Root; // the only trusted root
    TlsRelay::Options Server;
    std::string Pin; // appended to the address; "" when none
    std::vector<std::string> Log;
};

// Every refusal; the one that trusts a root other than the test CA comes last, for a client that
// must restart to change its roots.
std::vector<TlsRefusal> TlsRefusals(TestCertificates& c);
