#pragma once

#include "Options.h"

#include <optional>
#include <string>
#include <vector>

// A search request as a device reads it.
struct SearchRequest {
    std::string st;
    int mx = 1; // seconds
};

// Returns the request when the datagram is an M-SEARCH with MAN "ssdp:discover".
std::optional<SearchRequest> ParseSearchRequest(const std::string& datagram);

// The search targets of the device, one per device and service, in answer order.
std::vector<std::string> SearchTargets(const DevsimOptions& options);

// The targets that answer a search for st: every one for ssdp:all, the matching one otherwise.
std::vector<std::string> TargetsFor(const DevsimOptions& options, const std::string& st);

std::string LocationUrl(const DevsimOptions& options, const std::string& host);
// The location the device gives for itself: its address, or --location-host.
std::string OwnLocationUrl(const DevsimOptions& options);

// One unicast answer to a search, for one target.
std::string BuildAnswer(const DevsimOptions& options, const std::string& target,
                        const std::string& location);

// One ssdp:alive announcement, for one target.
std::string BuildNotify(const DevsimOptions& options, const std::string& target);
