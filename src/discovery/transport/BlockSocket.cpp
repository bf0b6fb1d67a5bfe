#include "discovery/transport/BlockSocket.h"

#include "discovery/transport/SocketAddress.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TBlockSocket::~TBlockSocket() {
    AbortSocket();
}

void TBlockSocket::AbortSocket() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    pending = Options{};
}

bool TBlockSocket::EnsureSocket() {
    if (fd >= 0) {
        return true;
    }
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetError(errno);
        return false;
    }
    ApplyOptions();
    return true;
}

void TBlockSocket::ApplyOptions() {
    const auto set = [this](int level, int name, const void* value, socklen_t size) {
        if (::setsockopt(fd, level, name, value, size) != 0) {
            SetError(errno);
        }
    };
    if (pending.nonBlocking) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
            SetError(errno);
        }
    }
    if (pending.broadcast) {
        const int on = 1;
        set(SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    if (pending.recvBufferSize > 0) {
        set(SOL_SOCKET, SO_RCVBUF, &pending.recvBufferSize, sizeof pending.recvBufferSize);
    }
    in_addr interfaceAddress{};
    if (!pending.multicastInterface.empty() &&
        ::inet_pton(AF_INET, pending.multicastInterface.c_str(), &interfaceAddress) == 1 &&
        interfaceAddress.s_addr != htonl(INADDR_ANY)) {
        set(IPPROTO_IP, IP_MULTICAST_IF, &interfaceAddress, sizeof interfaceAddress);
    }
    const int loop = pending.multicastLoop ? 1 : 0;
    set(IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
}

bool ToSocketAddress(const std::string& ip, const std::string& port, sockaddr_in& address) {
    int portNumber = 0;
    const auto* end = port.data() + port.size();
    const auto [rest, error] = std::from_chars(port.data(), end, portNumber);
    if (port.empty() || error != std::errc{} || rest != end || portNumber < 0 ||
        portNumber > 65535) {
        return false;
    }
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(portNumber));
    return ::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) == 1;
}

void TUDPBlockSocket::Bind(const std::string& ip, const std::string& port) {
    SetError(0);
    if (!HasSocket() && ip == "0.0.0.0" && port == "0") {
        return;
    }
    sockaddr_in address{};
    if (!ToSocketAddress(ip, port, address)) {
        SetError(EINVAL);
        return;
    }
    if (!EnsureSocket()) {
        return;
    }
    if (::bind(Handle(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        SetError(errno);
    }
}

void TUDPBlockSocket::Connect(const std::string& ip, const std::string& port) {
    SetError(0);
    hasDestination = false;
    if (!EnsureSocket()) {
        return;
    }
    if (!ToSocketAddress(ip, port, destination)) {
        SetError(EINVAL);
        return;
    }
    hasDestination = true;
}

void TUDPBlockSocket::SendString(const std::string& text) {
    SetError(0);
    if (!HasSocket() || !hasDestination) {
        SetError(ENOTCONN);
        return;
    }
    const auto sent = ::sendto(Handle(), text.data(), text.size(), MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (sent < 0) {
        SetError(errno);
    }
}

std::string TUDPBlockSocket::RecvPacket(int timeoutMs) {
    SetError(0);
    lastSender.clear();
    if (!HasSocket()) {
        SetError(ENOTCONN);
        return {};
    }
    using Clock = std::chrono::steady_clock;
    // Set at the first wait: a drain reads thousands of datagrams without waiting, and the
    // clock need not be read for them.
    std::optional<Clock::time_point> deadline;
    for (;;) {
        char buffer[65536];
        sockaddr_in sender{};
        socklen_t senderSize = sizeof sender;
        const auto got = ::recvfrom(Handle(), buffer, sizeof buffer, MSG_DONTWAIT,
                                    reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (got >= 0) {
            lastSender = SenderText(sender);
            return std::string(buffer, static_cast<std::size_t>(got));
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            SetError(errno);
            return {};
        }
        if (timeoutMs <= 0) {
            SetError(ETIMEDOUT);
            return {};
        }
        const auto now = Clock::now();
        if (!deadline) {
            deadline = now + std::chrono::milliseconds(timeoutMs);
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - now).count();
        if (left <= 0) {
            SetError(ETIMEDOUT);
            return {};
        }
        pollfd waiting{Handle(), POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
            SetError(errno);
            return {};
        }
    }
}

int TUDPBlockSocket::LocalPort() const {
    return HasSocket() ? BoundPort(Handle()) : 0;
}
