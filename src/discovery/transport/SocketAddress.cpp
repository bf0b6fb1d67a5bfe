#include "discovery/transport/SocketAddress.h"

#include <arpa/inet.h>
#include <charconv>
#include <sys/socket.h>

// Called for every datagram heard; inet_ntop formats through sprintf, which costs more than
// the rest of reading a repeated answer.
std::string SenderText(const sockaddr_in& sender) {
    if (sender.sin_family != AF_INET) {
        return {};
    }
    const auto address = ntohl(sender.sin_addr.s_addr);
    char text[INET_ADDRSTRLEN];
    char* end = text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        end = std::to_chars(end, text + sizeof text, (address >> shift) & 0xFF).ptr;
        if (shift > 0) {
            *end++ = '.';
        }
    }
    return std::string(text, end);
}

int BoundPort(int handle) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (handle < 0 || ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}
