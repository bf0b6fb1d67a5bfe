// pathmere-scan: one discovery search on the command line.
#include "ScanOptions.h"
#include "ScanRun.h"

#include <cstdio>

int main(int argc, char** argv) {
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
    if (options.version) {
        std::printf("pathmere-scan %s\n", PATHMERE_VERSION);
        return 0;
    }
    return RunScan(options);
}
