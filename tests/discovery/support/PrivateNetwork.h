#pragma once

#include <cstdlib>
#include <string_view>

// Moves the process into a network namespace of its own that holds only loopback, so
// that nothing a test sends can reach a real network. Call first thing in main, before
// any thread starts. False when the system allows no such namespace; the tests then run
// on the machine's loopback, which they only ever use anyway.
bool EnterPrivateNetwork();

// Whether EnterPrivateNetwork succeeded: only then may a test change interfaces.
bool InPrivateNetwork();

// CI runs as root with namespaces at hand: there a test that cannot get what it needs fails
// rather than skips, so that a skip never hides it.
#define SKIP_OUTSIDE_CI(reason)                                                                    \
    do {                                                                                           \
        const char* ci = std::getenv("CI");                                                        \
        if (ci != nullptr && std::string_view(ci) == "true") {                                     \
            FAIL() << reason;                                                                      \
        }                                                                                          \
        GTEST_SKIP() << reason;                                                                    \
    } while (false)
