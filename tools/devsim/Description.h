#pragma once

#include "Options.h"

#include <string>

// The device's UPnP description document: an Internet gateway with two embedded devices,
// one element to a line as real stacks write it; or a media server's (isMediaServer).
std::string BuildDescription(const DevsimOptions& options);

// The whole HTTP response to one request (header block and framed body), or an error page
// when the path is not the description's.
std::string BuildHttpResponse(const DevsimOptions& options, const std::string& requestHead);

// The path of a request line "GET /path HTTP/1.1"; empty when the head is not a GET.
std::string RequestPath(const std::string& requestHead);
