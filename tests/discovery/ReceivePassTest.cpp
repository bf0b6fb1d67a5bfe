#include "discovery/ReceivePass.h"

#include "support/Descriptions.h"
#include "support/FakeDevice.h"

#include <gtest/gtest.h>

namespace {

std::string Url(int host) {
    return "http://192.0.2." + std::to_string(host) + "/d.xml";
}

std::string Notify(int host) {
    return "NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nLOCATION: " + Url(host) +
           "\r\nNTS: ssdp:alive\r\n\r\n";
}

std::vector<std::string> Hosts(const LocationList& list) {
    std::vector<std::string> hosts;
    for (const auto& entry : list) {
        hosts.push_back(entry->host);
    }
    return hosts;
}

// Both sockets on loopback; the receiver is asked to join a loopback address, which joins
// nothing.
class ReceivePassTest : public ::testing::Test {
protected:
    void SetUp() override {
        socket.Bind("127.0.0.1", "0");
        receiver.Open("127.0.0.1", 0, "127.0.0.1");
        ASSERT_NE(socket.LocalPort(), 0);
        ASSERT_NE(receiver.LocalPort(), 0);
    }

    TUDPBlockSocket socket;
    CNetwork receiver;
    LocationList list;
    LocationCollector collector{list};
};

TEST_F(ReceivePassTest, TakesEveryDatagramWaitingOnEitherSocket) {
    // The whole-run pass, and the streaming one that reads only the sockets poll names.
    using Pass = void (*)(TUDPBlockSocket&, CNetwork&, LocationCollector&);
    const std::pair<const char*, Pass> passes[] = {
        {"whole run", &ReceivePass},
        {"streaming", [](TUDPBlockSocket& s, CNetwork& r, LocationCollector& c) {
             RepeatPacing pacing;
             ReceivePassEither(s, r, c, pacing);
         }}};
    for (const auto& [name, pass] : passes) {
        // Each pass as the first of a run.
        LocationList passList;
        LocationCollector passCollector(passList);
        for (int host = 1; host <= 4; ++host) {
            SendDatagram(socket.LocalPort(), Answer(Url(host)), "127.0.0." + std::to_string(host));
        }
        for (int host = 5; host <= 7; ++host) {
            SendDatagram(receiver.LocalPort(), Notify(host), "127.0.0." + std::to_string(host));
        }
        pass(socket, receiver, passCollector);
        EXPECT_EQ(Hosts(passList),
                  (std::vector<std::string>{"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4",
                                            "192.0.2.5", "192.0.2.6", "192.0.2.7"}))
            << name;
        EXPECT_EQ(socket.RecvPacket(0), "") << name;
        std::string text;
        std::string sender;
        EXPECT_FALSE(receiver.ReceiveWaiting(text, sender)) << name;
    }
}

// At the close of a window, what is already waiting on either socket is still read.
TEST_F(ReceivePassTest, WindowCloseTakesWaitingAnswersWithoutWaiting) {
    SendDatagram(socket.LocalPort(), Answer(Url(1)), "127.0.0.1");
    SendDatagram(receiver.LocalPort(), Notify(2), "127.0.0.2");
    TakeWaitingAnswers(socket, receiver, collector);
    EXPECT_EQ(Hosts(list), (std::vector<std::string>{"192.0.2.1", "192.0.2.2"}));
    EXPECT_EQ(socket.RecvPacket(0), "");
}

// On the group, this computer's own request is neither an announcement nor another
// computer's search; another computer's request is counted as such.
TEST_F(ReceivePassTest, CountsAnnouncementsAndOtherComputersSearchesApart) {
    const std::string request = "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\n"
                                "MAN: \"ssdp:discover\"\r\nMX: 10\r\nST: ssdp:all\r\n\r\n";
    collector.ownAddresses = {"127.0.0.1"};
    SendDatagram(receiver.LocalPort(), request, "127.0.0.1");
    SendDatagram(receiver.LocalPort(), request, "127.0.0.9");
    SendDatagram(receiver.LocalPort(), Notify(2), "127.0.0.2");
    TakeWaitingAnswers(socket, receiver, collector);
    EXPECT_EQ(collector.groupDatagrams, 1);
    EXPECT_EQ(collector.otherSearchRequests, 1);
    EXPECT_EQ(collector.searchSocketAnswers, 0);
}

// The sender is counted on both sockets alike.
TEST_F(ReceivePassTest, OneSenderNamesAtMostEightHostsAcrossBothSockets) {
    for (int host = 1; host <= 6; ++host) {
        SendDatagram(socket.LocalPort(), Answer(Url(host)), "127.0.0.9");
        SendDatagram(receiver.LocalPort(), Notify(host + 10), "127.0.0.9");
    }
    SendDatagram(receiver.LocalPort(), Notify(30), "127.0.0.10");
    ReceivePass(socket, receiver, collector);
    EXPECT_EQ(Hosts(list), (std::vector<std::string>{"192.0.2.1", "192.0.2.2", "192.0.2.3",
                                                     "192.0.2.4", "192.0.2.5", "192.0.2.6",
                                                     "192.0.2.11", "192.0.2.12", "192.0.2.30"}));
}

// A repeat is counted again. The same text from another sender is read for itself: one
// sender's limit says nothing of another's. Search requests are never counted as answers.
TEST_F(ReceivePassTest, RepeatsAreCountedAndTheSameTextFromAnotherSenderIsRead) {
    for (int round = 0; round < 2; ++round) {
        for (int host = 1; host <= 9; ++host) {
            SendDatagram(socket.LocalPort(), Answer(Url(host)), "127.0.0.9");
        }
        SendDatagram(socket.LocalPort(), Answer(Url(9)), "127.0.0.10");
        SendDatagram(receiver.LocalPort(), std::string(kStreamingSearchRequest), "127.0.0.11");
        ReceivePass(socket, receiver, collector);
    }
    EXPECT_EQ(Hosts(list), (std::vector<std::string>{"192.0.2.1", "192.0.2.2", "192.0.2.3",
                                                     "192.0.2.4", "192.0.2.5", "192.0.2.6",
                                                     "192.0.2.7", "192.0.2.8", "192.0.2.9"}));
    EXPECT_EQ(list.back()->url, Url(9));
    EXPECT_EQ(collector.searchSocketAnswers, 20);
    EXPECT_EQ(collector.groupDatagrams, 0);
    EXPECT_EQ(collector.otherSearchRequests, 2);
}

// The answers that repeat known locations are read after a pause that grows while they keep
// coming, longer in a flood of them than when they trickle in; a new location and a search
// request leave it as it is; once a pause ends with the sockets empty, the next answer is read
// as it comes.
TEST_F(ReceivePassTest, RepeatedAnswersAreReadAHandfulAtATime) {
    using std::chrono::milliseconds;
    using Clock = std::chrono::steady_clock;
    RepeatPacing pacing;
    const auto pass = [&](const std::string& datagram, int port, int copies = 1) {
        for (int copy = 0; copy < copies; ++copy) {
            SendDatagram(port, datagram, "127.0.0.9");
        }
        const auto start = Clock::now();
        const auto paused = pacing.pause;
        ReceivePassEither(socket, receiver, collector, pacing, start + milliseconds(150));
        // A pause is never cut short while something waits: sleeping never ends early.
        if (copies > 0) {
            EXPECT_GE(Clock::now() - start, paused) << datagram;
        }
        return pacing.pause.count();
    };
    const int search = socket.LocalPort();
    const int group = receiver.LocalPort();
    EXPECT_EQ(pass(Answer(Url(1)), search), 0);
    EXPECT_EQ(pass(Answer(Url(1)), search), 15);
    EXPECT_EQ(pass(Answer(Url(1)), search, 3), 30);
    EXPECT_EQ(pass(Answer(Url(1)), search, 7), 30);
    EXPECT_EQ(pass(Answer(Url(1)), search, 8), 60);
    EXPECT_EQ(pass(Answer(Url(2)), search), 60);
    EXPECT_EQ(pass(std::string(kStreamingSearchRequest), group), 60);
    EXPECT_EQ(pass(Answer(Url(1)), search, 15), 100);
    EXPECT_EQ(pass(Notify(1), group, 25), 100);
    EXPECT_EQ(pass(Notify(1), group), 30);
    EXPECT_EQ(pass({}, search, 0), 0);
    EXPECT_EQ(Hosts(list), (std::vector<std::string>{"192.0.2.1", "192.0.2.2"}));
}

} // namespace
