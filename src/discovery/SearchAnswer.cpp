#include "discovery/SearchAnswer.h"

#include "discovery/AsciiText.h"

#include <algorithm>

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

bool IsIPv4Text(std::string_view text) {
    if (text.size() < 7 || text.size() > 15) {
        return false;
    }
    int digits = 0;
    int value = 0;
    for (const char c : text) {
        if (c == '.') {
            if (digits == 0 || digits > 3) {
                return false;
            }
            digits = 0;
            value = 0;
        } else if (c >= '0' && c <= '9') {
            ++digits;
            value = value * 10 + (c - '0');
            if (value > 255) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

bool IsSearchedAddress(std::string_view address) {
    return WhyNotSearched(address).empty();
}

std::string WhyNotSearched(std::string_view address) {
    if (!IsIPv4Text(address)) {
        return address.find(':') != std::string_view::npos ? "IPv6" : "not an IPv4 address";
    }
    if (StartsWith(address, "169")) {
        return "link-local";
    }
    if (StartsWith(address, "127")) {
        return "loopback";
    }
    return {};
}

std::string LocationHost(std::string_view url) {
    if (url.find('/') == std::string_view::npos) {
        return {};
    }
    auto rest = url;
    if (const auto scheme = url.find("://"); scheme != std::string_view::npos) {
        rest = url.substr(scheme + 3);
    }
    auto authority = rest.substr(0, rest.find_first_of("/?#"));
    if (const auto user = authority.rfind('@'); user != std::string_view::npos) {
        authority = authority.substr(user + 1);
    }
    if (StartsWith(authority, "[")) {
        const auto close = authority.find(']');
        return std::string(close == std::string_view::npos ? authority
                                                           : authority.substr(0, close + 1));
    }
    return std::string(authority.substr(0, authority.find(':')));
}

std::size_t DatagramKeyHash::operator()(const DatagramKey& key) const noexcept {
    const std::hash<std::string_view> hash;
    std::size_t seed = hash(key.text);
    seed ^= hash(key.sender) + 0x9e3779b97f4a7c15U + (seed << 6) + (seed >> 2);
    return seed ^ static_cast<std::size_t>(key.searchSocket);
}

bool IsSearchRequest(const TextLines& lines) {
    if (lines.empty()) {
        return false;
    }
    std::string start = lines.front().substr(0, 8);
    std::transform(start.begin(), start.end(), start.begin(), [](char c) { return AsciiUpper(c); });
    return start == "M-SEARCH";
}

void ParseSearchAnswer(LocationCollector& collector, const TextLines& lines,
                       const std::string& sender) {
    if (lines.empty() || IsSearchRequest(lines)) {
        return;
    }
    const auto line = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return StartsWith(l, "Location") || StartsWith(l, "LOCATION");
    });
    if (line == lines.end()) {
        return;
    }
    // The value starts after the nine characters of the header name and its colon.
    auto url = TrimControl(std::string_view(*line).substr(std::min<std::size_t>(9, line->size())));
    // One entry per description address, not per host: a router that also serves media runs
    // two devices on one address, each with a description of its own.
    auto& list = collector.locations;
    const bool known = std::any_of(list.begin(), list.end(),
                                   [&url](const auto& entry) { return entry->url == url; });
    if (known || list.size() >= LocationCollector::maxLocations) {
        return;
    }
    auto& fromSender = collector.locationsBySender[sender];
    if (fromSender >= LocationCollector::maxLocationsPerSender) {
        return;
    }
    ++fromSender;
    auto host = LocationHost(url);
    const auto refusal = CheckLocation(url, host, sender, collector.networks);
    list.push_back(
        std::make_unique<DeviceLocation>(DeviceLocation{std::move(host), std::move(url), refusal}));
    if (collector.onNewLocation) {
        collector.onNewLocation(*list.back(), sender);
    }
}
