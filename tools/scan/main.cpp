// Runs one discovery search and prints the devices found. The search sends multicast on
// every local address: run it only where that is wanted (e.g. inside a test namespace).
#include "DeviceLine.h"
#include "RunStats.h"
#include "ScanOptions.h"
#include "Upnpthread.h"
#include "version/VersionOption.h"

#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
    if (PrintVersionIfAsked(argc, argv, "pathmere-scan"))
        return 0;
    ScanOptions options;
    std::string error;
    if (!ParseScanOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "pathmere-scan: %s\n%s", error.c_str(), ScanUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(ScanUsage(), stdout);
        return 0;
    }

    const RunStats before = RunStats::Now();
    UpnpThread worker;
    if (!worker.Start()) {
        std::fprintf(stderr, "pathmere-scan: the search thread could not be started\n");
        return 1;
    }
    // Ticks as the main window gives them: 0 on the first, then one more each time; the
    // acquire read of running makes the finished device list visible.
    for (int tick = 0; worker.running.load(std::memory_order_acquire); ++tick) {
        std::this_thread::sleep_for(options.tickPeriod);
        if (!worker.running.load(std::memory_order_acquire))
            break;
        worker.searchTick.store(tick);
    }
    if (options.stats)
        std::fprintf(stderr, "%s\n", FormatRunCost(before, RunStats::Now()).c_str());
    if (worker.deviceList) {
        for (const auto& device : *worker.deviceList)
            std::printf("%s\n", FormatDeviceLine(*device).c_str());
    }
    return 0;
}
