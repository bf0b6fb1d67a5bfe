#pragma once

#include "discovery/DescriptionReport.h"
#include "discovery/Upnpthread.h"

#include <string>
#include <vector>

// What a run tells about the network, for a user whose device is not listed.
struct Diagnosis {
    std::vector<std::string> addresses; // one line per local address
    std::vector<std::string> advice;    // what looks wrong, and what to do
    bool usableAddress = false;
};

Diagnosis Diagnose(const std::vector<AddressReport>& addresses,
                   const std::vector<DescriptionReport>& descriptions);
