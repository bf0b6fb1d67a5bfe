#include "Options.h"

#include "Faults.h"

#include <arpa/inet.h>
#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

bool ParseInt(std::string_view text, int low, int high, int& value) {
    int parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

bool IsIPv4(const std::string& text) {
    in_addr addr{};
    return inet_pton(AF_INET, text.c_str(), &addr) == 1;
}

} // namespace

const char* DevsimUsage() {
    return "usage: pathmere-devsim --address A [options]\n"
           "  --http-port P          description port (80)\n"
           "  --http-any             serve the description on every address\n"
           "  --path /x.xml          description path (/rootDesc.xml)\n"
           "  --friendly-name T --manufacturer T --model-name T\n"
           "  --model-number T --serial-number T --udn uuid:...\n"
           "  --answers N            answers to one ssdp:all search (4)\n"
           "  --notify on|off        ssdp:alive announcements (on)\n"
           "  --notify-interval-ms N (30000)\n"
           "  --notify-only          announce only, never answer a search\n"
           "  --location-upper       write the header as LOCATION\n"
           "  --location-no-blank    no blank after the location header's colon\n"
           "  --max-delay-ms N       bound of the random answer delay (5000, MX caps it too)\n"
           "  --min-delay-ms N       least answer delay, for a late device (0)\n"
           "  --chunked | --close-delimited   body framing (Content-Length)\n"
           "  --stall-body           send the body one byte a second\n"
           "  --full-backlog         never accept, so connection attempts hang\n"
           "  --flood FIRST:COUNT    answer each search with COUNT (up to 10000) invented hosts\n"
           "                         from FIRST\n"
           "  --fault NAME           misbehave as a rogue device: endless-body, drip (a byte\n"
           "                         every 5 s), huge-body (100 MiB), silent, broken-chunked,\n"
           "                         endless-headers, utf16, junk-datagrams\n"
           "  --media-server PORT[/PATH]  also be a media server of another maker at this\n"
           "                         address, described at PORT and PATH (/rootDesc.xml)\n"
           "  --media-order first|last  its answers to a search go out before the device's\n"
           "                         own, or after them (first)\n"
           "  --location-host NAME   write NAME in locations instead of the address\n"
           "  --dns-log FILE         take name queries on UDP port 53 and append them to FILE\n"
           "  --log FILE             append each raw HTTP request received\n"
           "  --search-log FILE      append each raw M-SEARCH received\n"
           "  --ready-file FILE      written when listening\n"
           "  --lifetime S           end after S seconds (600)\n";
}

bool ParseDevsimOptions(int argc, const char* const* argv, DevsimOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto number = [&](int low, int high, int& out) {
            std::string text;
            if (!value(text))
                return false;
            if (!ParseInt(text, low, high, out)) {
                error = std::string(name) + ": not a number in range: " + text;
                return false;
            }
            return true;
        };
        bool ok = true;
        std::string text;
        if (name == "--address")
            ok = value(o.address);
        else if (name == "--http-port")
            ok = number(1, 65535, o.httpPort);
        else if (name == "--http-any")
            o.httpAnyAddress = true;
        else if (name == "--path")
            ok = value(o.descriptionPath);
        else if (name == "--friendly-name")
            ok = value(o.friendlyName);
        else if (name == "--manufacturer")
            ok = value(o.manufacturer);
        else if (name == "--model-name")
            ok = value(o.modelName);
        else if (name == "--model-number")
            ok = value(o.modelNumber);
        else if (name == "--serial-number")
            ok = value(o.serialNumber);
        else if (name == "--udn")
            ok = value(o.udn);
        else if (name == "--answers")
            ok = number(0, 1000, o.answers);
        else if (name == "--notify") {
            ok = value(text);
            if (ok && (text == "on" || text == "off"))
                o.notify = text == "on";
            else if (ok) {
                error = "--notify takes on or off";
                ok = false;
            }
        } else if (name == "--notify-interval-ms")
            ok = number(10, 3600000, o.notifyIntervalMs);
        else if (name == "--notify-only")
            o.notifyOnly = true;
        else if (name == "--location-upper")
            o.locationUpper = true;
        else if (name == "--location-no-blank")
            o.locationNoBlank = true;
        else if (name == "--max-delay-ms")
            ok = number(0, 5000, o.maxDelayMs);
        else if (name == "--min-delay-ms")
            ok = number(0, 5000, o.minDelayMs);
        else if (name == "--chunked")
            o.body = DevsimOptions::Body::Chunked;
        else if (name == "--close-delimited")
            o.body = DevsimOptions::Body::Close;
        else if (name == "--stall-body")
            o.stallBody = true;
        else if (name == "--full-backlog")
            o.fullBacklog = true;
        else if (name == "--flood") {
            ok = value(text);
            const auto colon = text.find(':');
            if (ok &&
                (colon == std::string::npos || !IsIPv4(text.substr(0, colon)) ||
                 !ParseInt(std::string_view(text).substr(colon + 1), 1, 10000, o.floodCount))) {
                error = "--flood takes FIRST:COUNT, e.g. 192.0.2.100:20";
                ok = false;
            } else if (ok)
                o.floodFirst = text.substr(0, colon);
        } else if (name == "--fault") {
            ok = value(text);
            if (ok && !ParseFault(text, o.fault)) {
                error = std::string("--fault takes one of: ") + FaultNames();
                ok = false;
            }
        } else if (name == "--media-server") {
            ok = value(text);
            const auto slash = text.find('/');
            if (ok && !ParseInt(std::string_view(text).substr(0, slash), 1, 65535, o.mediaPort)) {
                error = "--media-server takes PORT or PORT/PATH, e.g. 8200/rootDesc.xml";
                ok = false;
            } else if (ok && slash != std::string::npos) {
                o.mediaPath = text.substr(slash);
            }
        } else if (name == "--media-order") {
            ok = value(text);
            if (ok && (text == "first" || text == "last")) {
                o.mediaOrder = text == "first" ? DevsimOptions::MediaOrder::First
                                               : DevsimOptions::MediaOrder::Last;
            } else if (ok) {
                error = "--media-order takes first or last";
                ok = false;
            }
        } else if (name == "--location-host")
            ok = value(o.locationHost);
        else if (name == "--dns-log")
            ok = value(o.dnsLog);
        else if (name == "--log")
            ok = value(o.requestLog);
        else if (name == "--search-log")
            ok = value(o.searchLog);
        else if (name == "--ready-file")
            ok = value(o.readyFile);
        else if (name == "--lifetime")
            ok = number(1, 86400, o.lifetimeSeconds);
        else {
            error = "unknown option: " + std::string(name);
            ok = false;
        }
        if (!ok)
            return false;
    }
    if (!IsIPv4(o.address)) {
        error = "--address must be an IPv4 address";
        return false;
    }
    if (o.mediaPort == o.httpPort && o.mediaPath == o.descriptionPath) {
        error = "--media-server needs a port or a path other than the description's";
        return false;
    }
    if (o.udn.empty()) {
        in_addr addr{};
        inet_pton(AF_INET, o.address.c_str(), &addr);
        char tail[16];
        std::snprintf(tail, sizeof tail, "%08x%04x", ntohl(addr.s_addr), o.httpPort);
        o.udn = std::string("uuid:4b6f7276-616e-6500-0000-") + tail;
    }
    return true;
}
