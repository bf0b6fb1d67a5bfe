#include "discovery/ReceivePass.h"

#include <algorithm>
#include <poll.h>

namespace {

constexpr int kSearchSocketWaitMs = 800;
// Short enough that the end of the window and a stop request are seen promptly.
constexpr int kEitherWaitMs = 200;
// Datagrams taken from one socket in a pass beyond the first; bounds a pass on a flood.
constexpr int kDrainLimit = 1024;

void ReceiveOnSearchSocket(TUDPBlockSocket& socket, LocationCollector& collector, int waitMs) {
    auto text = socket.RecvPacket(waitMs);
    for (int taken = 0; socket.LastError() == 0 && taken <= kDrainLimit; ++taken) {
        const auto lines = SplitTextToLines(TrimControl(text));
        collector.searchSocketAnswers += IsSearchRequest(lines) ? 0 : 1;
        ParseSearchAnswer(collector, lines, socket.LastSender());
        text = socket.RecvPacket(0);
    }
}

void ReceiveOnGroup(CNetwork& receiver, LocationCollector& collector, bool wait) {
    std::string text;
    std::string sender;
    const bool received =
        wait ? receiver.ReceiveFrom(text, sender) : receiver.ReceiveWaiting(text, sender);
    if (!received) {
        return;
    }
    int taken = 0;
    do {
        const auto lines = SplitTextToLines(text);
        if (!IsSearchRequest(lines)) {
            ++collector.groupDatagrams;
        } else if (std::find(collector.ownAddresses.begin(), collector.ownAddresses.end(),
                             sender) == collector.ownAddresses.end()) {
            ++collector.otherSearchRequests;
        }
        ParseSearchAnswer(collector, lines, sender);
    } while (++taken <= kDrainLimit && receiver.ReceiveWaiting(text, sender));
}

} // namespace

void ReceivePass(TUDPBlockSocket& socket, CNetwork& receiver, LocationCollector& collector) {
    ReceiveOnSearchSocket(socket, collector, kSearchSocketWaitMs);
    ReceiveOnGroup(receiver, collector, true);
}

void TakeWaitingAnswers(TUDPBlockSocket& socket, CNetwork& receiver, LocationCollector& collector) {
    ReceiveOnSearchSocket(socket, collector, 0);
    ReceiveOnGroup(receiver, collector, false);
}

void ReceivePassEither(TUDPBlockSocket& socket, CNetwork& receiver, LocationCollector& collector) {
    // A socket that could not be made (-1) is skipped by poll, which then just waits.
    pollfd sockets[2] = {{socket.Handle(), POLLIN, 0}, {receiver.handle, POLLIN, 0}};
    if (::poll(sockets, 2, kEitherWaitMs) <= 0) {
        return;
    }
    // Only a socket that has something is read: a read of an empty one is a wasted call.
    if (sockets[0].revents != 0) {
        ReceiveOnSearchSocket(socket, collector, 0);
    }
    if (sockets[1].revents != 0) {
        ReceiveOnGroup(receiver, collector, false);
    }
}
