// The identification alone, as the window runs it once the search has ended: every description
// address of a list fetched side by side and read. Rounds of two lists alternate, so that both
// see the same machine, and the time of each is printed. Run it where the devices are, inside a
// namespace of the field benchmark: it connects to the addresses given.
// Usage: bench_identification ROUNDS URL... -- URL...
#include "discovery/DescriptionReport.h"
#include "discovery/SearchAnswer.h"
#include "discovery/transport/MultiFetch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;

// One identification of urls: the time it took and the devices it listed.
std::pair<double, int> Identify(const std::vector<std::string>& urls) {
    const auto start = std::chrono::steady_clock::now();
    const auto results = FetchAll(urls, std::chrono::seconds(60));
    int listed = 0;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        const DeviceLocation location{LocationHost(urls[i]), urls[i]};
        listed += ReadDescription(location, location.host, results[i].fetched, results[i].body,
                                  results[i].failure)
                              .device != nullptr
                      ? 1
                      : 0;
    }
    return {Milliseconds(std::chrono::steady_clock::now() - start).count(), listed};
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 0;
    std::vector<std::string> lists[2];
    int list = 0;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--")
            list = 1;
        else
            lists[list].push_back(argv[i]);
    }
    if (rounds < 1 || lists[0].empty() || lists[1].empty()) {
        std::fprintf(stderr, "usage: bench_identification ROUNDS URL... -- URL...\n");
        return 2;
    }
    std::vector<double> times[2];
    int listed[2] = {0, 0};
    for (int round = 0; round < rounds; ++round) {
        for (int which = 0; which < 2; ++which) {
            const auto [ms, devices] = Identify(lists[which]);
            times[which].push_back(ms);
            listed[which] = devices;
        }
    }
    for (int which = 0; which < 2; ++which) {
        auto& t = times[which];
        std::sort(t.begin(), t.end());
        std::printf("%zu descriptions, %d listed: median %.2f ms, worst %.2f ms\n",
                    lists[which].size(), listed[which], t[t.size() / 2], t.back());
    }
    return 0;
}
