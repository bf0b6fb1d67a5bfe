#include "Ssdp.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

namespace {

const char* const kServer = "Linux/5.10 UPnP/1.0 KorvaneOS/2.4";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Usn(const DevsimOptions& options, const std::string& target) {
    if (target.rfind("uuid:", 0) == 0)
        return target;
    // Embedded devices have their own UDN; the suffix keeps them distinct.
    std::string udn = options.udn;
    if (target.find(":WANDevice:") != std::string::npos ||
        target.find("WANCommonInterfaceConfig") != std::string::npos)
        udn += "-1";
    else if (target.find(":WANConnectionDevice:") != std::string::npos ||
             target.find("WANIPConnection") != std::string::npos)
        udn += "-2";
    return udn + "::" + target;
}

std::string LocationHeader(const DevsimOptions& options) {
    const std::string blank = options.locationNoBlank ? "" : " ";
    return (options.locationUpper ? "LOCATION:" : "Location:") + blank;
}

} // namespace

std::optional<SearchRequest> ParseSearchRequest(const std::string& datagram) {
    std::istringstream in(datagram);
    std::string line;
    if (!std::getline(in, line) || Lower(line).rfind("m-search * http/1.1", 0) != 0)
        return std::nullopt;
    SearchRequest request;
    bool discover = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = Lower(Trim(line.substr(0, colon)));
        const std::string value = Trim(line.substr(colon + 1));
        if (name == "st")
            request.st = value;
        else if (name == "man")
            discover = value == "\"ssdp:discover\"";
        else if (name == "mx")
            request.mx = std::clamp(std::atoi(value.c_str()), 1, 120);
    }
    if (!discover || request.st.empty())
        return std::nullopt;
    return request;
}

std::vector<std::string> SearchTargets(const DevsimOptions& options) {
    if (options.isMediaServer)
        return {"upnp:rootdevice", options.udn, "urn:schemas-upnp-org:device:MediaServer:1",
                "urn:schemas-upnp-org:service:ContentDirectory:1",
                "urn:schemas-upnp-org:service:ConnectionManager:1"};
    return {"upnp:rootdevice",
            options.udn,
            "urn:schemas-upnp-org:device:InternetGatewayDevice:1",
            "urn:schemas-upnp-org:service:Layer3Forwarding:1",
            options.udn + "-1",
            "urn:schemas-upnp-org:device:WANDevice:1",
            "urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1",
            options.udn + "-2",
            "urn:schemas-upnp-org:device:WANConnectionDevice:1",
            "urn:schemas-upnp-org:service:WANIPConnection:1"};
}

std::vector<std::string> TargetsFor(const DevsimOptions& options, const std::string& st) {
    const auto all = SearchTargets(options);
    std::vector<std::string> chosen;
    if (st == "ssdp:all") {
        // More answers than targets repeat them, as some stacks do.
        for (int i = 0; i < options.answers; ++i)
            chosen.push_back(all[static_cast<size_t>(i) % all.size()]);
    } else if (std::find(all.begin(), all.end(), st) != all.end()) {
        chosen.push_back(st);
    }
    return chosen;
}

std::string LocationUrl(const DevsimOptions& options, const std::string& host) {
    return "http://" + host + ":" + std::to_string(options.httpPort) + options.descriptionPath;
}

std::string OwnLocationUrl(const DevsimOptions& options) {
    return LocationUrl(options,
                       options.locationHost.empty() ? options.address : options.locationHost);
}

std::string BuildAnswer(const DevsimOptions& options, const std::string& target,
                        const std::string& location) {
    return "HTTP/1.1 200 OK\r\n"
           "CACHE-CONTROL: max-age=1800\r\n"
           "EXT:\r\n" +
           LocationHeader(options) + location + "\r\nSERVER: " + kServer + "\r\nST: " + target +
           "\r\nUSN: " + Usn(options, target) + "\r\n\r\n";
}

std::string BuildNotify(const DevsimOptions& options, const std::string& target) {
    return "NOTIFY * HTTP/1.1\r\n"
           "HOST: 239.255.255.250:1900\r\n"
           "CACHE-CONTROL: max-age=1800\r\n" +
           LocationHeader(options) + OwnLocationUrl(options) + "\r\nNT: " + target +
           "\r\nNTS: ssdp:alive\r\nSERVER: " + kServer + "\r\nUSN: " + Usn(options, target) +
           "\r\n\r\n";
}
