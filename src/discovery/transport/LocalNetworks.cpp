#include "discovery/transport/LocalNetworks.h"

#include <arpa/inet.h>
#include <charconv>
#include <ifaddrs.h>
#include <net/if.h>

std::optional<std::uint32_t> ParseIPv4(std::string_view text) {
    std::uint32_t address = 0;
    for (int group = 0; group < 4; ++group) {
        const auto end = group < 3 ? text.find('.') : text.size();
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const auto digits = text.substr(0, end);
        unsigned value = 0;
        const auto [stop, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || digits.size() > 3 || (digits.size() > 1 && digits[0] == '0') ||
            digits[0] < '0' || digits[0] > '9' || error != std::errc() ||
            stop != digits.data() + digits.size() || value > 255) {
            return std::nullopt;
        }
        address = address << 8 | value;
        text.remove_prefix(group < 3 ? end + 1 : end);
    }
    return address;
}

std::optional<Ipv4Network> ParseIPv4Network(std::string_view text) {
    const auto slash = text.find('/');
    const auto address = ParseIPv4(text.substr(0, slash));
    if (!address || slash == std::string_view::npos) {
        return std::nullopt;
    }
    const auto bitsText = text.substr(slash + 1);
    unsigned bits = 0;
    const auto [stop, error] =
        std::from_chars(bitsText.data(), bitsText.data() + bitsText.size(), bits);
    if (bitsText.empty() || error != std::errc() || stop != bitsText.data() + bitsText.size() ||
        bits > 32) {
        return std::nullopt;
    }
    const std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits);
    return Ipv4Network{*address, mask};
}

std::vector<Ipv4Network> NetworksOf(const std::vector<std::string>& addresses) {
    std::vector<Ipv4Network> networks;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return networks;
    }
    for (auto* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr ||
            entry->ifa_addr->sa_family != AF_INET || (entry->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        const auto* mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) == nullptr) {
            continue;
        }
        for (const auto& searched : addresses) {
            if (searched == text) {
                networks.push_back(
                    Ipv4Network{ntohl(address->sin_addr.s_addr), ntohl(mask->sin_addr.s_addr)});
            }
        }
    }
    ::freeifaddrs(list);
    return networks;
}
