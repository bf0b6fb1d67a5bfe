// libFuzzer target: one datagram as the receiver reads it, through line splitting, the search
// answer parser and the address check; and the datagram as a location, through the check of
// what may be fetched.
#include "discovery/SearchAnswer.h"
#include "discovery/transport/HttpGet.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

void Require(bool condition) {
    if (!condition)
        std::abort();
}

const std::vector<Ipv4Network> kNetworks{*ParseIPv4Network("192.0.2.0/24")};

// A location allowed for a fetch connects to what was checked: a dotted address on the
// searched network or the sender's own, never a special one, whatever libcurl makes of the url.
void RequireFetchable(const DeviceLocation& location, const std::string& sender) {
    if (location.refusal != LocationRefusal::None)
        return;
    const auto address = ParseIPv4(location.host);
    Require(address.has_value());
    Require(UrlHost(location.url) == location.host);
    Require(kNetworks.front().Holds(*address) || location.host == sender);
    Require(*address != 0 && *address >> 24 != 127 && *address >> 28 != 0xe &&
            *address != 0xffffffffu && !kNetworks.front().IsBroadcast(*address));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);

    const TextLines lines = SplitTextToLines(datagram);
    for (const std::string& line : lines)
        Require(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    Require(SplitTextToLines(JoinLines(lines)) == lines);

    const std::string trimmed = TrimControl(datagram);
    Require(trimmed.empty() ||
            (!IsBlankOrControl(trimmed.front()) && !IsBlankOrControl(trimmed.back())));

    // The same datagram from many senders: the per-sender and overall caps both come into play.
    LocationList list;
    LocationCollector collector(list);
    collector.networks = kNetworks;
    for (int sender = 0; sender < 300; ++sender)
        ParseSearchAnswer(collector, lines, "192.0.2." + std::to_string(sender % 256));
    Require(list.size() <= 1);
    for (const auto& entry : list) {
        Require(entry->host == LocationHost(entry->url));
        RequireFetchable(*entry, "192.0.2.0");
    }

    const std::string url(datagram);
    const auto host = LocationHost(url);
    for (const char* sender : {"192.0.2.7", "203.0.113.5", "127.0.0.1"}) {
        RequireFetchable(DeviceLocation{host, url, CheckLocation(url, host, sender, kNetworks)},
                         sender);
    }

    if (IsIPv4Text(datagram)) {
        Require(datagram.size() >= 7 && datagram.size() <= 15);
        Require(std::all_of(datagram.begin(), datagram.end(),
                            [](char c) { return (c >= '0' && c <= '9') || c == '.'; }));
    }
    IsSearchedAddress(datagram);
    return 0;
}
