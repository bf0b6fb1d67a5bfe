#include "discovery/multicast.h"

#include "discovery/transport/SocketAddress.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 3000;
constexpr int kTextLimit = 1000;

void SetTimeout(int fd, int option) {
    timeval wait{kWaitMs / 1000, (kWaitMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, option, &wait, sizeof wait);
}

} // namespace

bool CNetwork::CreateSocket() {
    handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (handle < 0) {
        handle = -1;
        return false;
    }
    SetTimeout(handle, SO_RCVTIMEO);
    SetTimeout(handle, SO_SNDTIMEO);
    // Linux wants a full int here. SO_REUSEPORT lets several receivers on port 1900 (the
    // worker's, a test's, another program's) share it: group datagrams reach each one.
    const int on = 1;
    const bool reused = ::setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
    ::setsockopt(handle, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    // Only the groups this socket joined, not those any socket of the machine joined.
    const int off = 0;
    ::setsockopt(handle, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off);
    return reused;
}

void CNetwork::Open(const std::string& address, int port, const std::string& group) {
    Close(); // a socket still held would otherwise leak
    CreateSocket();
    if (handle < 0) {
        return;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return;
    }
    ip_mreq membership{};
    if (::inet_pton(AF_INET, group.c_str(), &membership.imr_multiaddr) != 1) {
        return;
    }
    if (::inet_pton(AF_INET, address.c_str(), &membership.imr_interface) != 1) {
        membership.imr_interface.s_addr = htonl(INADDR_ANY);
    }
    ::setsockopt(handle, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership);
}

bool CNetwork::ReceiveDatagram(int flags, std::string& text, std::string& sender) {
    text.clear();
    sender.clear();
    if (handle < 0) {
        return false;
    }
    char buffer[kTextLimit];
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    // A longer datagram is cut to the buffer's size.
    const auto got = ::recvfrom(handle, buffer, sizeof buffer, flags,
                                reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (got < 0) {
        return false;
    }
    const auto size = static_cast<std::size_t>(got);
    const auto* nul = static_cast<const char*>(std::memchr(buffer, '\0', size));
    text.assign(buffer, nul != nullptr ? static_cast<std::size_t>(nul - buffer) : size);
    sender = SenderText(from);
    return true;
}

std::string CNetwork::ReceiveText() {
    std::string text;
    std::string sender;
    ReceiveDatagram(0, text, sender);
    return text;
}

bool CNetwork::ReceiveFrom(std::string& text, std::string& sender) {
    return ReceiveDatagram(0, text, sender);
}

bool CNetwork::ReceiveWaiting(std::string& text, std::string& sender) {
    return ReceiveDatagram(MSG_DONTWAIT, text, sender);
}

long CNetwork::Receive(char* buffer, int size) {
    if (handle < 0) {
        return 0;
    }
    return ::recv(handle, buffer, static_cast<std::size_t>(size > 0 ? size : 0), 0);
}

void CNetwork::Close() {
    if (handle != -1) {
        // On Linux the descriptor is gone even when close reports an error; keeping it
        // would close some later descriptor that reuses the number.
        ::close(handle);
        handle = -1;
    }
}

int CNetwork::LocalPort() const {
    return BoundPort(handle);
}
