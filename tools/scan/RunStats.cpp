#include "RunStats.h"

#include <cstdio>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

} // namespace

RunStats RunStats::Now() {
    RunStats stats;
    // The resident set first: reading the file itself touches memory, which the peak
    // taken afterwards then includes.
    long size = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> size >> resident;
    stats.residentKiB = resident * (sysconf(_SC_PAGESIZE) / 1024);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    stats.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    stats.maxResidentKiB = usage.ru_maxrss;
    return stats;
}

std::string FormatRunCost(const RunStats& before, const RunStats& after) {
    char text[96];
    std::snprintf(text, sizeof text, "cpu_seconds=%.3f added_memory_kib=%ld",
                  after.cpuSeconds - before.cpuSeconds, after.maxResidentKiB - before.residentKiB);
    return text;
}
