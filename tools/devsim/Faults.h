#pragma once

#include "Options.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The misbehaviours of a rogue device (--fault), for tests that the program survives them.
bool ParseFault(std::string_view name, DevsimOptions::Fault& fault);
const char* FaultNames();

// How a faulty device answers one description request: the bytes sent first, then filler
// generated as the connection drains, at a pace.
struct FaultyResponse {
    bool silent = false;                  // read the request, never answer, never close
    std::string start;                    // sent first
    std::size_t fillBytes = 0;            // filler after start
    bool fillHeaders = false;             // the filler is header lines, not body text
    bool closeAfter = false;              // close once everything is sent
    std::chrono::milliseconds trickle{0}; // one byte per this interval when non-zero
};
FaultyResponse BuildFaultyResponse(const DevsimOptions& options, const std::string& requestHead);

// Up to `bytes` bytes of filler: header lines, or lines of an XML comment.
std::string Filler(bool headers, std::size_t bytes);

// Search answers of the junk-datagrams fault: 65,507 bytes long, with NUL bytes, with invalid
// UTF-8, and with control characters in every field. None names a description it serves.
std::vector<std::string> JunkAnswers(const DevsimOptions& options);
