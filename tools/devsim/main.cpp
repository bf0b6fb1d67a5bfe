// A simulated UPnP device for tests and demos: answers searches, announces itself and
// serves its description. Run it only inside a network namespace.
#include "Device.h"
#include "Options.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string_view>

namespace {

std::atomic<bool> stopRequested{false};

void OnSignal(int) {
    stopRequested.store(true);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            std::fputs(DevsimUsage(), stdout);
            return 0;
        }
    }
    DevsimOptions options;
    std::string error;
    if (!ParseDevsimOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "pathmere-devsim: %s\n%s", error.c_str(), DevsimUsage());
        return 2;
    }
    // No SA_RESTART: the signal has to interrupt the poll.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    SimulatedDevice device(options);
    if (!device.Open(error)) {
        std::fprintf(stderr, "pathmere-devsim: %s\n", error.c_str());
        return 1;
    }
    device.Serve(stopRequested);
    return 0;
}
