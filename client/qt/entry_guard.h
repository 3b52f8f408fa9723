#pragma once

#include <functional>

// Runs a call that Qt makes into the program, so that no exception crosses Qt's event loop.
using EntryGuard = std::function<void(const std::function<void()>& call)>;
