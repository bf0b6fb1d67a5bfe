#include "discovery/transport/SocketAddress.h"

#include <arpa/inet.h>
#include <sys/socket.h>

std::string SenderText(const sockaddr_in& sender) {
    char text[INET_ADDRSTRLEN] = {};
    if (sender.sin_family != AF_INET ||
        ::inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text) == nullptr) {
        return {};
    }
    return text;
}

int BoundPort(int handle) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (handle < 0 || ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}
