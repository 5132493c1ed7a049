#pragma once
// The online services Korvid may ask, pointed at a closed port on loopback for a test run.

#include <cstdlib>

namespace korvid::test_support {

// Port 9 (discard) on loopback: nothing listens there, so a request is refused at once.
inline constexpr const char* ClosedServiceUrl = "http://127.0.0.1:9/";

inline void CloseOnlineServices() {
    ::setenv("KORVID_SUGGEST_URL", ClosedServiceUrl, 1);
    ::setenv("KORVID_DATASETS_URL", ClosedServiceUrl, 1);
}

}  // namespace korvid::test_support
