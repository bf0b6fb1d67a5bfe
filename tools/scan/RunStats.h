#pragma once

#include <string>

// The process's CPU time and memory, taken before and after a search, for the benchmark.
struct RunStats {
    double cpuSeconds = 0; // user plus system time so far
    long residentKiB = 0;  // resident set now
    long maxResidentKiB = 0;

    static RunStats Now();
};

// "cpu_seconds=0.123 added_memory_kib=456": the CPU time between the two and the peak
// resident set after minus the resident set before.
std::string FormatRunCost(const RunStats& before, const RunStats& after);
