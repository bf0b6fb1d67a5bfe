#include "Device.h"

#include "Description.h"
#include "Faults.h"
#include "MediaServer.h"
#include "Ssdp.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const kGroup = "239.255.255.250";
const int kSsdpPort = 1900;
const size_t kMaxRequestHead = 64 * 1024;
const auto kTrickleInterval = std::chrono::milliseconds(1000);

sockaddr_in Endpoint(const std::string& ip, int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, ip.c_str(), &addr.sin_addr);
    return addr;
}

bool BindTo(int fd, const sockaddr_in& addr) {
    return bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
}

void SetInt(int fd, int level, int name, int value) {
    setsockopt(fd, level, name, &value, sizeof value);
}

void SetNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

std::string Failed(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// A listening TCP socket, or none (-1) with errno set.
FileDescriptor Listener(const std::string& address, int port, int backlog) {
    FileDescriptor listener(socket(AF_INET, SOCK_STREAM, 0));
    SetInt(listener.get(), SOL_SOCKET, SO_REUSEADDR, 1);
    if (!BindTo(listener.get(), Endpoint(address, port)) || listen(listener.get(), backlog) != 0)
        return FileDescriptor();
    return listener;
}

std::string NthAddress(const std::string& first, int n) {
    in_addr addr{};
    inet_pton(AF_INET, first.c_str(), &addr);
    addr.s_addr = htonl(ntohl(addr.s_addr) + static_cast<uint32_t>(n));
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

} // namespace

SimulatedDevice::SimulatedDevice(DevsimOptions o)
    : options(std::move(o)), random(std::random_device{}() ^ static_cast<unsigned>(getpid())) {}

bool SimulatedDevice::Open(std::string& error) {
    // The group socket is bound to the group address so it hears only the group, and several
    // simulators in one namespace can share the port.
    multicastIn = FileDescriptor(socket(AF_INET, SOCK_DGRAM, 0));
    SetInt(multicastIn.get(), SOL_SOCKET, SO_REUSEADDR, 1);
    SetInt(multicastIn.get(), IPPROTO_IP, IP_MULTICAST_ALL, 0);
    if (!BindTo(multicastIn.get(), Endpoint(kGroup, kSsdpPort))) {
        error = Failed("bind 1900");
        return false;
    }
    ip_mreq membership{};
    inet_pton(AF_INET, kGroup, &membership.imr_multiaddr);
    inet_pton(AF_INET, options.address.c_str(), &membership.imr_interface);
    if (setsockopt(multicastIn.get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership,
                   sizeof membership) != 0) {
        error = Failed("join group on " + options.address);
        return false;
    }

    unicastOut = FileDescriptor(socket(AF_INET, SOCK_DGRAM, 0));
    if (!BindTo(unicastOut.get(), Endpoint(options.address, 0))) {
        error = Failed("bind " + options.address);
        return false;
    }
    in_addr outInterface{};
    inet_pton(AF_INET, options.address.c_str(), &outInterface);
    setsockopt(unicastOut.get(), IPPROTO_IP, IP_MULTICAST_IF, &outInterface, sizeof outInterface);
    SetInt(unicastOut.get(), IPPROTO_IP, IP_MULTICAST_TTL, 4);

    const std::string httpAddress = options.httpAnyAddress ? "0.0.0.0" : options.address;
    httpListen = Listener(httpAddress, options.httpPort, options.fullBacklog ? 0 : 64);
    if (httpListen.get() < 0) {
        error = Failed("listen " + httpAddress + ":" + std::to_string(options.httpPort));
        return false;
    }
    if (options.mediaPort != 0) {
        media = MediaServerOf(options);
    }
    if (media && media->httpPort != options.httpPort) {
        mediaListen = Listener(httpAddress, media->httpPort, 64);
        if (mediaListen.get() < 0) {
            error = Failed("listen " + httpAddress + ":" + std::to_string(media->httpPort));
            return false;
        }
        SetNonBlocking(mediaListen.get());
    }
    if (options.fullBacklog) {
        // One connection that is never accepted fills a queue of length 0; the system then
        // drops every further SYN, and a client waits as for a device that vanished.
        backlogFiller = FileDescriptor(socket(AF_INET, SOCK_STREAM, 0));
        const sockaddr_in self = Endpoint(options.address, options.httpPort);
        if (connect(backlogFiller.get(), reinterpret_cast<const sockaddr*>(&self), sizeof self) !=
            0) {
            error = Failed("fill the listen queue");
            return false;
        }
    }
    SetNonBlocking(httpListen.get());

    if (!options.dnsLog.empty()) {
        nameQueries = FileDescriptor(socket(AF_INET, SOCK_DGRAM, 0));
        if (!BindTo(nameQueries.get(), Endpoint(options.address, 53))) {
            error = Failed("bind " + options.address + ":53");
            return false;
        }
    }

    if (!options.readyFile.empty()) {
        // Written under another name and renamed, so a waiter never sees it half-written.
        const std::string temporary = options.readyFile + ".tmp";
        std::ofstream(temporary) << getpid() << "\n";
        if (std::rename(temporary.c_str(), options.readyFile.c_str()) != 0) {
            error = Failed("ready file " + options.readyFile);
            return false;
        }
    }
    return true;
}

void SimulatedDevice::Serve(const std::atomic<bool>& stop) {
    const auto deadline = Clock::now() + std::chrono::seconds(options.lifetimeSeconds);
    nextNotify = Clock::now();
    const bool announcing = options.notify || options.notifyOnly;
    while (!stop.load()) {
        auto now = Clock::now();
        if (now >= deadline)
            break;
        if (announcing && now >= nextNotify)
            Announce();
        SendDueAnswers(now);

        auto wake = std::min(deadline, now + std::chrono::milliseconds(500));
        if (announcing)
            wake = std::min(wake, nextNotify);
        for (const auto& answer : pending)
            wake = std::min(wake, answer.due);

        // A negative descriptor (no --dns-log) is skipped by poll.
        std::vector<pollfd> fds{{multicastIn.get(), POLLIN, 0},
                                {httpListen.get(), POLLIN, 0},
                                {nameQueries.get(), POLLIN, 0},
                                {mediaListen.get(), POLLIN, 0}};
        constexpr size_t kFixed = 4;
        for (const auto& c : connections) {
            short events = POLLIN;
            if ((!c.out.empty() || c.fillLeft > 0) && !c.stalled)
                events |= POLLOUT;
            if (c.stalled)
                wake = std::min(wake, c.nextByte);
            fds.push_back({c.fd.get(), events, 0});
        }
        const auto waitMs =
            std::chrono::ceil<std::chrono::milliseconds>(std::max(wake - now, Clock::duration(0)));
        if (poll(fds.data(), fds.size(), static_cast<int>(waitMs.count())) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN)
            OnSearchDatagram();
        if ((fds[1].revents & POLLIN) && !options.fullBacklog)
            Accept(httpListen.get(), false);
        if (fds[2].revents & POLLIN)
            OnNameQuery();
        if (fds[3].revents & POLLIN)
            Accept(mediaListen.get(), true);
        now = Clock::now();
        // New connections were appended after the poll set was built; only the first ones
        // have results.
        const size_t polled = fds.size() - kFixed;
        std::vector<bool> keep(connections.size(), true);
        for (size_t i = 0; i < polled; ++i) {
            const short revents = fds[i + kFixed].revents;
            if (revents & (POLLIN | POLLHUP | POLLERR))
                keep[i] = OnReadable(connections[i]);
            if (keep[i])
                keep[i] = OnWritable(connections[i], now);
        }
        size_t kept = 0;
        for (size_t i = 0; i < connections.size(); ++i) {
            if (keep[i] && kept != i)
                connections[kept] = std::move(connections[i]);
            if (keep[i])
                ++kept;
        }
        connections.resize(kept);
    }
}

void SimulatedDevice::OnSearchDatagram() {
    char buffer[2048];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = recvfrom(multicastIn.get(), buffer, sizeof buffer, MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n <= 0)
        return;
    const std::string datagram(buffer, static_cast<size_t>(n));
    const auto request = ParseSearchRequest(datagram);
    if (!request)
        return;
    if (!options.searchLog.empty())
        AppendToFile(options.searchLog, datagram);
    if (options.notifyOnly)
        return;
    // Real stacks spread their answers over MX seconds but cap MX, so a search asking for
    // 10 s is answered within 5 s.
    const int maxDelay = std::min({request->mx * 1000, 5000, options.maxDelayMs});
    std::uniform_int_distribution<int> delay(options.minDelayMs,
                                             std::max(options.minDelayMs, maxDelay));
    const auto now = Clock::now();
    const auto* raw = reinterpret_cast<const unsigned char*>(&from);
    const std::vector<unsigned char> to(raw, raw + sizeof from);
    const auto answers = [&](const DevsimOptions& device) {
        std::vector<TimedDatagram> timed;
        const std::string location = OwnLocationUrl(device);
        for (const auto& target : TargetsFor(device, request->st))
            timed.push_back({delay(random), BuildAnswer(device, target, location)});
        return timed;
    };
    for (auto& answer :
         InAnswerOrder(answers(options), media ? answers(*media) : std::vector<TimedDatagram>{},
                       options.mediaOrder))
        pending.push_back(
            {now + std::chrono::milliseconds(answer.delayMs), to, std::move(answer.datagram)});
    if (options.fault == DevsimOptions::Fault::JunkDatagrams) {
        for (auto& junk : JunkAnswers(options))
            pending.push_back(
                {now + std::chrono::milliseconds(delay(random)), to, std::move(junk)});
    }
    for (int i = 0; i < options.floodCount; ++i) {
        const std::string host = NthAddress(options.floodFirst, i);
        pending.push_back({now + std::chrono::milliseconds(delay(random)), to,
                           BuildAnswer(options, "upnp:rootdevice", LocationUrl(options, host))});
    }
}

void SimulatedDevice::SendDueAnswers(Clock::time_point now) {
    auto due = std::stable_partition(pending.begin(), pending.end(),
                                     [&](const PendingAnswer& a) { return a.due > now; });
    for (auto it = due; it != pending.end(); ++it)
        sendto(unicastOut.get(), it->datagram.data(), it->datagram.size(), 0,
               reinterpret_cast<const sockaddr*>(it->to.data()),
               static_cast<socklen_t>(it->to.size()));
    pending.erase(due, pending.end());
}

void SimulatedDevice::Announce() {
    const sockaddr_in group = Endpoint(kGroup, kSsdpPort);
    std::vector<const DevsimOptions*> devices{&options};
    if (media)
        devices.insert(options.mediaOrder == DevsimOptions::MediaOrder::First ? devices.begin()
                                                                              : devices.end(),
                       &*media);
    for (const auto* device : devices) {
        for (const auto& target : TargetsFor(*device, "ssdp:all")) {
            const std::string datagram = BuildNotify(*device, target);
            sendto(unicastOut.get(), datagram.data(), datagram.size(), 0,
                   reinterpret_cast<const sockaddr*>(&group), sizeof group);
        }
    }
    nextNotify = Clock::now() + std::chrono::milliseconds(options.notifyIntervalMs);
}

void SimulatedDevice::Accept(int listener, bool toMedia) {
    for (;;) {
        const int fd = accept(listener, nullptr, nullptr);
        if (fd < 0)
            return;
        SetNonBlocking(fd);
        Connection c;
        c.fd = FileDescriptor(fd);
        c.media = toMedia;
        connections.push_back(std::move(c));
    }
}

bool SimulatedDevice::OnReadable(Connection& c) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = recv(c.fd.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0)
            return false;
        if (n < 0)
            break;
        c.in.append(buffer, static_cast<size_t>(n));
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK)
        return false;
    for (;;) {
        const auto end = c.in.find("\r\n\r\n");
        if (end == std::string::npos)
            return c.in.size() <= kMaxRequestHead;
        const std::string head = c.in.substr(0, end + 4);
        c.in.erase(0, end + 4);
        if (!options.requestLog.empty())
            AppendToFile(options.requestLog, head);
        // The media server is well behaved whatever the device does.
        if (media && (c.media || (media->httpPort == options.httpPort &&
                                  RequestPath(head) == media->descriptionPath))) {
            c.out += BuildHttpResponse(*media, head);
            continue;
        }
        if (options.fault != DevsimOptions::Fault::None &&
            options.fault != DevsimOptions::Fault::JunkDatagrams) {
            const FaultyResponse response = BuildFaultyResponse(options, head);
            if (response.silent)
                continue;
            c.out += response.start;
            c.fillLeft = response.fillBytes;
            c.fillHeaders = response.fillHeaders;
            c.closeAfterWrite = response.closeAfter;
            if (response.trickle.count() > 0) {
                c.stalled = true;
                c.trickle = response.trickle;
                c.nextByte = Clock::now();
            }
            return true;
        }
        if (options.stallBody) {
            const std::string stallHead =
                "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 1000000\r\n\r\n";
            c.out = stallHead + BuildDescription(options);
            c.burst = stallHead.size();
            c.stalled = true;
            c.trickle = kTrickleInterval;
            c.nextByte = Clock::now();
            return true;
        }
        c.out += BuildHttpResponse(options, head);
        c.closeAfterWrite = options.body == DevsimOptions::Body::Close;
    }
}

bool SimulatedDevice::OnWritable(Connection& c, Clock::time_point now) {
    if (c.out.empty() && c.fillLeft > 0) {
        const size_t chunk = std::min<size_t>(c.fillLeft, 64 * 1024);
        c.out = Filler(c.fillHeaders, chunk);
        c.fillLeft -= chunk;
    }
    if (c.out.empty())
        return true;
    size_t limit = c.out.size();
    if (c.stalled && c.burst > 0) {
        limit = c.burst;
    } else if (c.stalled) {
        if (now < c.nextByte)
            return true;
        limit = 1;
        c.nextByte = now + c.trickle;
    }
    const ssize_t n = send(c.fd.get(), c.out.data(), limit, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK;
    c.out.erase(0, static_cast<size_t>(n));
    c.burst -= std::min(c.burst, static_cast<size_t>(n));
    return !(c.out.empty() && c.fillLeft == 0 && c.closeAfterWrite);
}

void SimulatedDevice::OnNameQuery() {
    char buffer[512];
    const ssize_t n = recv(nameQueries.get(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0)
        AppendToFile(options.dnsLog, std::string(buffer, static_cast<size_t>(n)));
}

void SimulatedDevice::AppendToFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}
