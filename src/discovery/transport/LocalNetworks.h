#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An IPv4 network: an address and its netmask, both in host byte order.
struct Ipv4Network {
    std::uint32_t address = 0;
    std::uint32_t mask = 0;

    bool Holds(std::uint32_t host) const { return (host & mask) == (address & mask); }
    // The network's broadcast address; a /31 or /32 has none (it gives an address of the
    // network's own then, which Holds but IsBroadcast tells apart).
    bool IsBroadcast(std::uint32_t host) const {
        return mask < 0xfffffffeu && Holds(host) && (host | mask) == 0xffffffffu;
    }
};

// Four decimal groups 0 to 255 joined by dots, no sign, no leading zero, nothing else: the one
// form of an IPv4 address that every parser reads alike ("010" is 8 to some, "127.1" and
// "2130706433" are 127.0.0.1 to libcurl).
std::optional<std::uint32_t> ParseIPv4(std::string_view text);

// "a.b.c.d/n" in the same strict form; for tests and tables.
std::optional<Ipv4Network> ParseIPv4Network(std::string_view text);

// The networks of the searched addresses: for each, the subnet of the interface that holds it,
// as the system reports it. An address no interface holds (such as "0.0.0.0") gives none.
std::vector<Ipv4Network> NetworksOf(const std::vector<std::string>& addresses);
