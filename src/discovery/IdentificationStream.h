#pragma once

#include "discovery/DescriptionReport.h"
#include "discovery/transport/MultiFetch.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Reads descriptions while the search goes on: each location handed over is fetched at once
// on a thread of its own, beside up to HttpMultiFetch::kParallel others, and reported as soon
// as it is read. A refused location is reported at once, unfetched.
class IdentificationStream {
public:
    // Called on the stream's thread, once per location, in the order the reads end.
    using OnRead = std::function<void(const DescriptionReport&)>;

    explicit IdentificationStream(OnRead onRead, HttpLimits limits = {});
    // Stops at once: fetches still under way are dropped unreported.
    ~IdentificationStream();
    IdentificationStream(const IdentificationStream&) = delete;
    IdentificationStream& operator=(const IdentificationStream&) = delete;

    // Any thread but the stream's.
    void Add(const DeviceLocation& location, const std::string& sender);
    // Waits until every location added is reported, giving up those still under way after
    // bound; gives the reports in the order they were read.
    std::vector<DescriptionReport> Finish(std::chrono::milliseconds bound);

private:
    struct Entry {
        DeviceLocation location;
        std::string sender;
    };

    void Run();
    void Report(FetchResult result);

    OnRead onRead;
    HttpMultiFetch fetch; // the stream's thread only, but for Wakeup

    // Guards what follows: the worker hands locations over and waits for the end here.
    std::mutex lock;
    std::condition_variable ended;
    std::deque<std::size_t> added; // indexes into entries not yet given to fetch
    std::deque<Entry> entries;     // a deque: entries keep their place as it grows
    std::vector<DescriptionReport> reports;
    bool stopping = false;
    bool finishing = false;
    bool done = false;
    std::chrono::steady_clock::time_point giveUpAt;
    std::chrono::milliseconds bound{0};

    std::thread thread;
};
