#pragma once

#include <chrono>
#include <string>

// What pathmere-scan is asked to do.
struct ScanOptions {
    // Time between two ticks. The first address is listened on until the 40th tick value,
    // so --seconds N gives N/40 s per tick.
    std::chrono::milliseconds tickPeriod{125};
    bool help = false;
    bool stats = false; // report the run's CPU time and added memory on stderr
};

// Parses the arguments; on failure returns false and sets error to a message for the user.
bool ParseScanOptions(int argc, const char* const* argv, ScanOptions& options, std::string& error);

const char* ScanUsage();
