#include "discovery/ReceivePass.h"

#include <algorithm>
#include <cstdint>
#include <poll.h>
#include <thread>

namespace {

constexpr int kSearchSocketWaitMs = 800;
// Short enough that the end of the window and a stop request are seen promptly.
constexpr int kEitherWaitMs = 200;
// Datagrams taken from one socket in a pass beyond the first; bounds a pass on a flood.
constexpr int kDrainLimit = 1024;
// Devices repeat each answer many times, to every request; read one wake-up each, the repeats
// of 60 devices cost the stream more CPU time than all the rest. While they keep coming, the
// sockets are left to fill between reads: first for a small part of one description fetch,
// then longer while a flood lasts (a pass found them 4 ms apart or closer), never longer than
// the batches of a whole-run search. A trickle of repeats costs few wake-ups anyway, and a
// longer pause would only hold back a new location that comes amid it (a router's answers after
// those of the media server beside it): there the pause stays short.
constexpr std::chrono::milliseconds kFirstRepeatPause{15};
constexpr std::chrono::milliseconds kLongestTricklePause{30};
constexpr std::chrono::milliseconds kLongestRepeatPause{100};
constexpr std::chrono::milliseconds kFloodSpacing{4};

bool AnythingWaiting(pollfd (&sockets)[2]) {
    return ::poll(sockets, 2, 0) > 0;
}

// Reads one datagram, or only counts it when it repeats one already read: devices repeat
// their answers, each to every request, and a repeat read again would change nothing (its
// location is known, or was turned away and would be again). Answers on the search socket may
// carry line ends and blanks around them.
void Read(LocationCollector& collector, const std::string& text, const std::string& sender,
          bool searchSocket) {
    const DatagramKey key{searchSocket, sender, text};
    bool request = false;
    if (const auto known = collector.readDatagrams.find(key);
        known != collector.readDatagrams.end()) {
        request = known->second;
    } else {
        const auto lines = SplitTextToLines(searchSocket ? TrimControl(text) : text);
        request = IsSearchRequest(lines);
        ParseSearchAnswer(collector, lines, sender);
        if (collector.readDatagrams.size() < LocationCollector::maxReadDatagrams &&
            text.size() <= LocationCollector::maxRememberedDatagram) {
            collector.readDatagrams.emplace(ReadDatagram(key), request);
        }
    }
    if (!request) {
        ++(searchSocket ? collector.searchSocketAnswers : collector.groupDatagrams);
    } else if (!searchSocket &&
               std::find(collector.ownAddresses.begin(), collector.ownAddresses.end(), sender) ==
                   collector.ownAddresses.end()) {
        ++collector.otherSearchRequests;
    }
}

void ReceiveOnSearchSocket(TUDPBlockSocket& socket, LocationCollector& collector, int waitMs) {
    auto text = socket.RecvPacket(waitMs);
    for (int taken = 0; socket.LastError() == 0 && taken <= kDrainLimit; ++taken) {
        Read(collector, text, socket.LastSender(), true);
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
        Read(collector, text, sender, false);
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

void ReceivePassEither(TUDPBlockSocket& socket, CNetwork& receiver, LocationCollector& collector,
                       RepeatPacing& pacing, std::chrono::steady_clock::time_point until) {
    // A socket that could not be made (-1) is skipped by poll, which then just waits.
    pollfd sockets[2] = {{socket.Handle(), POLLIN, 0}, {receiver.handle, POLLIN, 0}};
    if (pacing.pause.count() > 0) {
        std::this_thread::sleep_until(
            std::min(until, std::chrono::steady_clock::now() + pacing.pause));
        if (!AnythingWaiting(sockets)) {
            pacing.pause = {}; // the flood is over: the next answer is read as it comes
        }
    }
    // After a pause that found something, that look says what to read.
    if (pacing.pause.count() == 0) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        const auto wait = std::clamp<std::int64_t>(left.count(), 0, kEitherWaitMs);
        if (::poll(sockets, 2, static_cast<int>(wait)) <= 0) {
            return;
        }
    }
    const auto known = collector.locations.size();
    const auto answers = collector.searchSocketAnswers + collector.groupDatagrams;
    // Only a socket that has something is read: a read of an empty one is a wasted call.
    if (sockets[0].revents != 0) {
        ReceiveOnSearchSocket(socket, collector, 0);
    }
    if (sockets[1].revents != 0) {
        ReceiveOnGroup(receiver, collector, false);
    }
    // Search requests alone (this computer's own among them) leave the pause as it was, and so
    // does a new location: amid a flood it waits for a pause like any other answer.
    const auto repeats = collector.searchSocketAnswers + collector.groupDatagrams - answers;
    if (collector.locations.size() == known && repeats > 0) {
        const bool flood = repeats * kFloodSpacing >= pacing.pause;
        const auto longest = flood ? kLongestRepeatPause : kLongestTricklePause;
        pacing.pause = pacing.pause.count() == 0
                           ? kFirstRepeatPause
                           : std::clamp(pacing.pause * 2, kFirstRepeatPause, longest);
    }
}
