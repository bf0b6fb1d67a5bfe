#pragma once

#include "discovery/transport/LocalNetworks.h"

#include <string>
#include <string_view>
#include <vector>

// Why a description address is not fetched. Anyone on the network can send a datagram, so a
// location could otherwise aim this computer's requests at its own services or at the
// internet: only a device's own address is fetched.
enum class LocationRefusal {
    None,           // fetched
    NotIPv4,        // a name, an IPv6 address, or an IPv4 address in any but the dotted form
    Unspecified,    // 0.0.0.0, which reaches this computer itself
    Loopback,       // 127.0.0.0/8
    Multicast,      // 224.0.0.0/4
    Broadcast,      // 255.255.255.255, or a searched network's broadcast address
    OutsideNetwork, // neither on a searched network nor the sender's own address
};

// The reason in words, as pathmere-scan shows it ("names an address outside this network").
std::string_view RefusalText(LocationRefusal refusal);

// Whether the location url, whose host LocationHost gave as host, named in a datagram from
// sender, may be fetched: its host must be a dotted IPv4 address, the one libcurl would
// connect to, and either on one of the searched networks or the sender's own address; never
// the unspecified, a loopback, a multicast or a broadcast address. A loopback address on a
// searched network is fetched: the program never searches one, tests on loopback do.
LocationRefusal CheckLocation(const std::string& url, std::string_view host,
                              std::string_view sender, const std::vector<Ipv4Network>& networks);
