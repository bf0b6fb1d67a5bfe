#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kBacklog = 16;

} // namespace

LoopbackHttpServer::LoopbackHttpServer(Responder respond, const std::string& host, int wanted,
                                       Start start)
    : responder(std::move(respond)), address(host), held(start == Start::Held) {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(wanted));
    ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
    socklen_t size = sizeof local;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(listener, held ? 0 : kBacklog) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        ::close(listener);
        listener = -1;
        return;
    }
    port = ntohs(local.sin_port);
    if (held) {
        // One connection nobody accepts fills a queue of length 0.
        queueFiller = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(queueFiller, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    thread = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    stopping = true;
    if (thread.joinable()) {
        thread.join();
    }
    if (listener >= 0) {
        ::close(listener);
    }
    if (queueFiller >= 0) {
        ::close(queueFiller);
    }
}

void LoopbackHttpServer::Open() {
    if (!held) {
        return;
    }
    // The filler is the only connection in the queue: every other SYN was dropped.
    const int filler = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (filler >= 0) {
        ::close(filler);
    }
    ::close(queueFiller);
    queueFiller = -1;
    ::listen(listener, kBacklog);
    held = false;
}

std::vector<int> LoopbackHttpServer::UnansweredConnections() const {
    in_addr host{};
    ::inet_pton(AF_INET, address.c_str(), &host);
    // The kernel prints the address's bytes as one native-order word, the port in hex.
    char remote[32];
    std::snprintf(remote, sizeof remote, "%08X:%04X", host.s_addr, static_cast<unsigned>(port));
    constexpr const char* kSynSent = "02";
    std::vector<int> ports;
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, peer, state;
        fields >> slot >> local >> peer >> state;
        if (peer == remote && state == kSynSent) {
            ports.push_back(std::stoi(local.substr(local.find(':') + 1), nullptr, 16));
        }
    }
    return ports;
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return "http://" + address + ":" + std::to_string(port) + path;
}

std::vector<std::string> LoopbackHttpServer::Requests() const {
    std::lock_guard guard(lock);
    return requests;
}

void LoopbackHttpServer::ForgetRequests() {
    std::lock_guard guard(lock);
    requests.clear();
}

void LoopbackHttpServer::Serve() {
    while (!stopping) {
        if (held) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        pollfd waiting{listener, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        std::string request;
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd readable{fd, POLLIN, 0};
            char buffer[4096];
            if (::poll(&readable, 1, 5000) <= 0) {
                break;
            }
            const auto got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(got));
        }
        {
            std::lock_guard guard(lock);
            requests.push_back(request);
        }
        responder(fd, request);
        ::close(fd);
    }
}

bool LoopbackHttpServer::SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const auto got = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (got <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(got);
    }
    return true;
}

std::string LoopbackHttpServer::Response(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

void LoopbackHttpServer::WaitForClose(int fd) {
    for (int waited = 0; waited < 20000; waited += 100) {
        pollfd readable{fd, POLLIN, 0};
        char buffer[256];
        if (::poll(&readable, 1, 100) > 0 && ::recv(fd, buffer, sizeof buffer, 0) <= 0) {
            return;
        }
    }
}

std::string RequestPath(const std::string& request) {
    const auto start = request.find(' ');
    const auto end = request.find(' ', start + 1);
    if (start == std::string::npos || end == std::string::npos) {
        return {};
    }
    return request.substr(start + 1, end - start - 1);
}

int ClosedTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}
