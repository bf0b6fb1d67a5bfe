#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackHttpServer::LoopbackHttpServer(Responder respond, const std::string& host, int wanted)
    : responder(std::move(respond)), address(host) {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(wanted));
    ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
    socklen_t size = sizeof local;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        ::close(listener);
        listener = -1;
        return;
    }
    port = ntohs(local.sin_port);
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
