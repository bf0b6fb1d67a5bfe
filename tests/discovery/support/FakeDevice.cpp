#include "FakeDevice.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int BoundUdpSocket(int& port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    auto address = Loopback(0);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

FakeDevice::FakeDevice(std::vector<std::string> answerTexts,
                       std::vector<std::string> announcementTexts, int groupPort)
    : answers(std::move(answerTexts)), announcements(std::move(announcementTexts)),
      announcePort(groupPort) {
    fd = BoundUdpSocket(port);
    thread = std::thread([this] { Serve(); });
}

FakeDevice::~FakeDevice() {
    stopping = true;
    thread.join();
    ::close(fd);
}

std::vector<std::string> FakeDevice::Searches() const {
    std::lock_guard guard(lock);
    return searches;
}

bool FakeDevice::WaitForSearch(int timeoutMs) const {
    return WaitUntil([this] { return !Searches().empty(); }, timeoutMs);
}

void FakeDevice::Serve() {
    while (!stopping) {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        char buffer[2048];
        sockaddr_in sender{};
        socklen_t size = sizeof sender;
        const auto got =
            ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &size);
        if (got < 0) {
            continue;
        }
        {
            std::lock_guard guard(lock);
            searches.emplace_back(buffer, static_cast<std::size_t>(got));
        }
        // One call for the whole burst, so that the answers stand waiting together as a
        // burst from a real network would, however the test threads are scheduled.
        std::vector<iovec> parts(answers.size());
        std::vector<mmsghdr> messages(answers.size());
        for (std::size_t i = 0; i < answers.size(); ++i) {
            parts[i] = {const_cast<char*>(answers[i].data()), answers[i].size()};
            messages[i].msg_hdr.msg_name = &sender;
            messages[i].msg_hdr.msg_namelen = size;
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        if (!messages.empty()) {
            ::sendmmsg(fd, messages.data(), static_cast<unsigned>(messages.size()), 0);
        }
        for (const auto& announcement : announcements) {
            SendDatagram(announcePort, announcement);
        }
    }
}

int FreeUdpPort() {
    int port = 0;
    ::close(BoundUdpSocket(port));
    return port;
}

void SendDatagram(int port, const std::string& bytes, const std::string& from) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    auto source = Loopback(0);
    ::inet_pton(AF_INET, from.c_str(), &source.sin_addr);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&source), sizeof source);
    const auto address = Loopback(port);
    ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&address),
             sizeof address);
    ::close(fd);
}
