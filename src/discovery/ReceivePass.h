#pragma once

#include "discovery/SearchAnswer.h"
#include "discovery/multicast.h"
#include "discovery/transport/BlockSocket.h"

#include <chrono>

// One receive pass of the search: waits up to 800 ms for an answer on the search socket,
// then up to 3000 ms for a datagram on the group receiver, and after each wait takes
// every datagram already waiting on that socket, so that on a busy network no answer that
// arrived in the window is left unread.
void ReceivePass(TUDPBlockSocket& socket, CNetwork& receiver, LocationCollector& collector);

// Takes what is already waiting on both sockets, without waiting. Run when an address's window
// closes: answers that came in during the last pass's waits were sent within the window, and
// with a window shorter than one pass they would otherwise never be read.
void TakeWaitingAnswers(TUDPBlockSocket& socket, CNetwork& receiver, LocationCollector& collector);

// How long a streaming pass lets the sockets fill before it reads: nothing at first; after a
// pass that read answers but no new location 15 ms, doubling while such passes follow one
// another, up to 100 ms while each finds them 4 ms apart or closer and up to 30 ms otherwise;
// nothing again once the sockets are found empty after a pause. One per searched address, kept
// from pass to pass.
struct RepeatPacing {
    std::chrono::milliseconds pause{0};
};

// A pass for a search that reports as it goes: waits for a datagram on either socket until
// `until`, and never over 200 ms, and takes everything waiting there, so that an answer is read
// as soon as it comes whichever socket it comes to, and a request due is sent on time. A burst
// is read whole at one wake-up. The repeated answers that follow a search are read a handful
// at a time (pacing).
void ReceivePassEither(
    TUDPBlockSocket& socket, CNetwork& receiver, LocationCollector& collector, RepeatPacing& pacing,
    std::chrono::steady_clock::time_point until = std::chrono::steady_clock::time_point::max());
