#include "discovery/LocationCheck.h"

#include "discovery/transport/HttpGet.h"

#include <algorithm>

std::string_view RefusalText(LocationRefusal refusal) {
    switch (refusal) {
    case LocationRefusal::None:
        return {};
    case LocationRefusal::NotIPv4:
        return "names a host that is not a plain IPv4 address";
    case LocationRefusal::Unspecified:
        return "names the unspecified address";
    case LocationRefusal::Loopback:
        return "names a loopback address";
    case LocationRefusal::Multicast:
        return "names a multicast address";
    case LocationRefusal::Broadcast:
        return "names a broadcast address";
    case LocationRefusal::OutsideNetwork:
        return "names an address outside this network";
    }
    return {};
}

LocationRefusal CheckLocation(const std::string& url, std::string_view host,
                              std::string_view sender, const std::vector<Ipv4Network>& networks) {
    const auto address = ParseIPv4(host);
    // The host checked must be the one connected to, whatever form the url gives it in.
    if (!address || UrlHost(url) != host) {
        return LocationRefusal::NotIPv4;
    }
    if (*address == 0) {
        return LocationRefusal::Unspecified;
    }
    if ((*address >> 28) == 0xe) {
        return LocationRefusal::Multicast;
    }
    const auto broadcast = [&](const Ipv4Network& network) {
        return network.IsBroadcast(*address);
    };
    if (*address == 0xffffffffu || std::any_of(networks.begin(), networks.end(), broadcast)) {
        return LocationRefusal::Broadcast;
    }
    const auto holds = [&](const Ipv4Network& network) { return network.Holds(*address); };
    if (std::any_of(networks.begin(), networks.end(), holds)) {
        return LocationRefusal::None;
    }
    if ((*address >> 24) == 127) {
        return LocationRefusal::Loopback;
    }
    return host == sender ? LocationRefusal::None : LocationRefusal::OutsideNetwork;
}
