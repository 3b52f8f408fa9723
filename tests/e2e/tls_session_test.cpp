#include "tests/e2e/end_to_end_session.h"

// The whole session once more over TLS: trusted through the test CA, and pinned.
INSTANTIATE_TEST_SUITE_P(Tls, EndToEndSession,
                         ::testing::Values(SessionLink::TlsTrusted, SessionLink::TlsPinned),
                         LinkName);
