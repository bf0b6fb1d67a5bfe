#include "discovery/transport/NameLookup.h"

#include <algorithm>
#include <climits>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string SystemHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

std::string NumericHost(const sockaddr* address, socklen_t size) {
    char text[NI_MAXHOST] = {};
    if (::getnameinfo(address, size, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) {
        return {};
    }
    return text;
}

void AddOnce(TextLines& lines, std::string address) {
    if (!address.empty() && std::find(lines.begin(), lines.end(), address) == lines.end()) {
        lines.push_back(std::move(address));
    }
}

} // namespace

std::string LocalName() {
    auto name = SystemHostName();
    return name.empty() ? std::string("127.0.0.1") : name;
}

TextLines LocalInterfaceAddresses() {
    TextLines addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return addresses;
    }
    constexpr unsigned wanted = IFF_UP | IFF_RUNNING;
    for (auto* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || (entry->ifa_flags & wanted) != wanted ||
            (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        const auto family = entry->ifa_addr->sa_family;
        if (family == AF_INET) {
            AddOnce(addresses, NumericHost(entry->ifa_addr, sizeof(sockaddr_in)));
        } else if (family == AF_INET6) {
            AddOnce(addresses, NumericHost(entry->ifa_addr, sizeof(sockaddr_in6)));
        }
    }
    ::freeifaddrs(list);
    return addresses;
}

void ResolveNameToIP(const std::string& name, TextLines& lines) {
    lines.clear();
    const auto systemName = SystemHostName();
    if (!systemName.empty() && name == systemName) {
        lines = LocalInterfaceAddresses();
    } else {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0) {
            for (auto* entry = found; entry != nullptr; entry = entry->ai_next) {
                AddOnce(lines, NumericHost(entry->ai_addr, entry->ai_addrlen));
            }
            ::freeaddrinfo(found);
        }
    }
    if (lines.empty()) {
        lines.emplace_back("0.0.0.0");
    }
}
