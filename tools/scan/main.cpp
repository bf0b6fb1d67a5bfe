// pathmere-scan: one discovery search on the command line.
#include "ScanOptions.h"
#include "ScanRun.h"
#include "version/VersionOption.h"

#include <cstdio>

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
    return RunScan(options);
}
