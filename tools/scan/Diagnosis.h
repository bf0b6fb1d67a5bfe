#pragma once

#include "discovery/Diagnosis.h"

#include <string>
#include <vector>

// What a run tells about the network, in words, for a user whose device is not listed.
struct Diagnosis {
    std::vector<std::string> addresses; // one line per local address
    std::vector<Finding> findings;      // what looks wrong, most useful first
    std::vector<std::string> advice;    // each finding and what to do, in words
    bool usableAddress = false;
};

Diagnosis Explain(const SearchEvidence& evidence);

// The finding's kind as the JSON document names it ("no_answer").
const char* FindingName(FindingKind kind);
