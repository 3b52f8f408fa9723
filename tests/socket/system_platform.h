#pragma once

// The product's platform layer on the system the tests run on.

#ifdef _WIN32
#include "socket/win32/platform.h"

using SystemPlatform = WinPlatform;

// Windows always knows localhost.
inline bool SystemResolverKnowsLocalhost() {
    return true;
}
#else
#include "socket/posix/platform.h"
#include "tests/socket/system_resolver.h"

using SystemPlatform = PosixPlatform;
#endif
