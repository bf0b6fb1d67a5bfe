#include "discovery/multicast.h"
#include "discovery/transport/BlockSocket.h"
#include "discovery/transport/SocketAddress.h"
#include "support/CaseName.h"
#include "support/FakeDevice.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

using namespace std::string_literals;

int IntOption(int fd, int level, int name) {
    int value = 0;
    socklen_t size = sizeof value;
    ::getsockopt(fd, level, name, &value, &size);
    return value;
}

// Every byte in network order, each group without leading zeros, and nothing for an address of
// another family.
TEST(SenderTextTest, IsTheDottedAddressOfAnIpv4SenderOnly) {
    for (const char* text : {"0.0.0.0", "192.0.2.10", "10.0.100.1", "255.255.255.255", "1.20.3.40"}) {
        sockaddr_in sender{};
        sender.sin_family = AF_INET;
        ASSERT_EQ(::inet_pton(AF_INET, text, &sender.sin_addr), 1);
        EXPECT_EQ(SenderText(sender), text);
    }
    sockaddr_in other{};
    other.sin_family = AF_INET6;
    EXPECT_EQ(SenderText(other), "");
}

TEST(UdpBlockSocketTest, TwoWaitingDatagramsAreGivenInOrder) {
    TUDPBlockSocket socket;
    socket.Bind("127.0.0.1", "0");
    ASSERT_EQ(socket.LastError(), 0);
    SendDatagram(socket.LocalPort(), "first");
    SendDatagram(socket.LocalPort(), "second\0with a NUL"s);
    EXPECT_EQ(socket.RecvPacket(800), "first");
    EXPECT_EQ(socket.LastSender(), "127.0.0.1");
    EXPECT_EQ(socket.RecvPacket(800), "second\0with a NUL"s);
    EXPECT_EQ(socket.RecvPacket(50), "");
    EXPECT_EQ(socket.LastError(), ETIMEDOUT);
}

TEST(UdpBlockSocketTest, SendsOneDatagramToTheRecordedDestination) {
    TUDPBlockSocket receiver;
    receiver.Bind("127.0.0.1", "0");
    TUDPBlockSocket sender;
    sender.SendString("too early");
    EXPECT_EQ(sender.LastError(), ENOTCONN);
    sender.Connect("127.0.0.1", std::to_string(receiver.LocalPort()));
    sender.SendString("M-SEARCH");
    EXPECT_EQ(sender.LastError(), 0);
    EXPECT_EQ(receiver.RecvPacket(800), "M-SEARCH");
}

TEST(UdpBlockSocketTest, FailuresAreRecordedAndTheNextOperationsGoOn) {
    TUDPBlockSocket socket;
    socket.Bind("0.0.0.0", "0"); // no socket yet and nothing asked for: nothing done
    EXPECT_EQ(socket.Handle(), -1);
    EXPECT_EQ(socket.RecvPacket(10), "");
    EXPECT_EQ(socket.LastError(), ENOTCONN);
    socket.Bind("192.0.2.1", "0"); // not an address of this machine
    EXPECT_EQ(socket.LastError(), EADDRNOTAVAIL);
    socket.Connect("no address", "1900");
    EXPECT_EQ(socket.LastError(), EINVAL);
    socket.Connect("127.0.0.1", "65536");
    EXPECT_EQ(socket.LastError(), EINVAL);
    EXPECT_EQ(socket.RecvPacket(10), "");
    EXPECT_EQ(socket.LastError(), ETIMEDOUT);
}

// Options asked for are applied when the socket is created; a reset drops them.
TEST(UdpBlockSocketTest, PendingOptionsLastUntilTheSocketIsReset) {
    TUDPBlockSocket socket;
    socket.SetNonBlockMode(true);
    socket.EnableBroadcast(true);
    socket.SetRecvBufferSize(1 << 20);
    socket.Bind("127.0.0.1", "0");
    const int fd = socket.Handle();
    ASSERT_GE(fd, 0);
    EXPECT_NE(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(IntOption(fd, SOL_SOCKET, SO_BROADCAST), 1);
    EXPECT_EQ(IntOption(fd, IPPROTO_IP, IP_MULTICAST_LOOP), 1);
    const int enlarged = IntOption(fd, SOL_SOCKET, SO_RCVBUF);

    socket.AbortSocket();
    EXPECT_EQ(socket.Handle(), -1);
    socket.Bind("127.0.0.1", "0");
    ASSERT_GE(socket.Handle(), 0);
    EXPECT_EQ(::fcntl(socket.Handle(), F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(IntOption(socket.Handle(), SOL_SOCKET, SO_BROADCAST), 0);
    EXPECT_GT(enlarged, IntOption(socket.Handle(), SOL_SOCKET, SO_RCVBUF));
}

struct ReceiveCase {
    const char* name;
    std::string datagram;
    std::string text;
};

class MulticastReceiveTest : public ::testing::TestWithParam<ReceiveCase> {};

// Sent straight to the receiver's port on 127.0.0.1, never to the group.
TEST_P(MulticastReceiveTest, GivesTheTextUpToTheFirstNulAndAtMost1000Bytes) {
    CNetwork receiver;
    receiver.Open("127.0.0.1", 0);
    ASSERT_NE(receiver.LocalPort(), 0);
    SendDatagram(receiver.LocalPort(), GetParam().datagram);
    EXPECT_EQ(receiver.ReceiveText(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MulticastReceiveTest,
    ::testing::Values(ReceiveCase{"Plain", "NOTIFY * HTTP/1.1\r\n", "NOTIFY * HTTP/1.1\r\n"},
                      ReceiveCase{"NulInTheMiddle", "abc\0def"s, "abc"},
                      ReceiveCase{"Over1000Bytes", std::string(1200, 'x'), std::string(1000, 'x')},
                      ReceiveCase{"NulAmongTheFirst1000",
                                  std::string(500, 'x') + '\0' + std::string(699, 'y'),
                                  std::string(500, 'x')},
                      ReceiveCase{"Empty", "", ""}),
    CaseName());

TEST(MulticastReceiverTest, WaitingDatagramsAreTakenInOrderWithoutWaiting) {
    CNetwork receiver;
    receiver.Open("127.0.0.1", 0);
    std::string text;
    std::string sender;
    EXPECT_FALSE(receiver.ReceiveWaiting(text, sender));
    SendDatagram(receiver.LocalPort(), "one");
    SendDatagram(receiver.LocalPort(), "two");
    ASSERT_TRUE(WaitUntil([&] { return receiver.ReceiveWaiting(text, sender); }, 2000));
    EXPECT_EQ(text, "one");
    EXPECT_EQ(sender, "127.0.0.1");
    ASSERT_TRUE(receiver.ReceiveWaiting(text, sender));
    EXPECT_EQ(text, "two");
    EXPECT_FALSE(receiver.ReceiveWaiting(text, sender));
}

TEST(MulticastReceiverTest, NothingWithinTheWaitGivesTheEmptyText) {
    CNetwork receiver;
    receiver.Open("127.0.0.1", 0);
    ASSERT_GE(receiver.handle, 0);
    EXPECT_EQ(receiver.ReceiveText(), "");
}

TEST(MulticastReceiverTest, AClosedReceiverGivesNothing) {
    CNetwork receiver;
    EXPECT_EQ(receiver.ReceiveText(), "");
    char buffer[8];
    EXPECT_EQ(receiver.Receive(buffer, sizeof buffer), 0);
    receiver.Open("127.0.0.1", 0);
    receiver.Close();
    EXPECT_EQ(receiver.handle, -1);
    receiver.Close();
    EXPECT_EQ(receiver.ReceiveText(), "");
}

// The worker's receiver and another one (a test's, another program's) share the port.
TEST(MulticastReceiverTest, TwoReceiversShareOnePort) {
    CNetwork first;
    first.Open("127.0.0.1", 0);
    CNetwork second;
    second.Open("127.0.0.1", first.LocalPort());
    EXPECT_NE(first.LocalPort(), 0);
    EXPECT_EQ(second.LocalPort(), first.LocalPort());
}

} // namespace
