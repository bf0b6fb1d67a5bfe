#pragma once

// Moves the process into a network namespace of its own that holds only loopback, so
// that nothing a test sends can reach a real network. Call first thing in main, before
// any thread starts. False when the system allows no such namespace; the tests then run
// on the machine's loopback, which they only ever use anyway.
bool EnterPrivateNetwork();

// Whether EnterPrivateNetwork succeeded: only then may a test change interfaces.
bool InPrivateNetwork();
