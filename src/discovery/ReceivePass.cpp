#include "ReceivePass.h"

namespace {

constexpr int kSearchSocketWaitMs = 800;
// Datagrams taken from one socket in a pass beyond the first; bounds a pass on a flood.
constexpr int kDrainLimit = 1024;

void ReceiveOnSearchSocket(TUDPBlockSocket& socket, LocationCollector& collector) {
    auto text = socket.RecvPacket(kSearchSocketWaitMs);
    for (int taken = 0; socket.LastError() == 0 && taken <= kDrainLimit; ++taken) {
        ParseSearchAnswer(collector, SplitTextToLines(TrimControl(text)), socket.LastSender());
        text = socket.RecvPacket(0);
    }
}

void ReceiveOnGroup(CNetwork& receiver, LocationCollector& collector) {
    std::string text;
    std::string sender;
    if (!receiver.ReceiveFrom(text, sender)) {
        return;
    }
    int taken = 0;
    do {
        ParseSearchAnswer(collector, SplitTextToLines(text), sender);
    } while (++taken <= kDrainLimit && receiver.ReceiveWaiting(text, sender));
}

} // namespace

void ReceivePass(TUDPBlockSocket& socket, CNetwork& receiver, LocationCollector& collector) {
    ReceiveOnSearchSocket(socket, collector);
    ReceiveOnGroup(receiver, collector);
}
