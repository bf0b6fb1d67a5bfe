#pragma once

#include "discovery/transport/TextLines.h"

#include <chrono>
#include <cstddef>
#include <string>

// Bounds of one description fetch: a device, or anything pretending to be one, must not
// stall or exhaust the run.
struct HttpLimits {
    std::chrono::milliseconds connect{7500};
    std::chrono::milliseconds eachWait{7500};
    std::chrono::milliseconds whole{30000};
    std::size_t maxBody = 1024 * 1024;
};

inline constexpr const char* kHttpUserAgent = "Mozilla/4.0 (compatible; Korvane Browser)";

// The Host header for url: the host, then ":" and the port unless the port is 80; an IPv6
// host in square brackets. Empty when the url cannot be parsed.
std::string HttpHostHeader(const std::string& url);

// The host a fetch of url connects to, as libcurl reads the url: numeric IPv4 forms such as
// "127.1" or "2130706433" come out dotted. Empty when the url cannot be parsed.
std::string UrlHost(const std::string& url);

// One HTTP/1.1 GET of url. The body (whatever arrived, even on failure) goes to body.
// True when the response arrived in full, whatever its status code; false for no
// connection, a time-out, a broken response, headers or a body over the limit, a url that is
// not plain http, or a url whose host is a name: names are never looked up.
bool HttpGetBody(const std::string& url, std::string& body, const HttpLimits& limits = {});

// HttpGetBody with the body split into lines.
bool HttpGetText(const std::string& url, TextLines& lines, const HttpLimits& limits = {});
