#include "mainwindow/RetiredWorkers.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

// Workers whose addresses are never searched: each run goes straight to its end, so retiring
// races the end of the run, which is the hand-over ThreadSanitizer has to see.
std::unique_ptr<UpnpThread> StartedWorker() {
    auto worker = std::make_unique<UpnpThread>([] {
        return std::vector<std::string>{"127.0.0.1", "169.254.1.1"};
    });
    worker->keepRunning = true;
    worker->running = true;
    EXPECT_TRUE(worker->Start());
    return worker;
}

TEST(RetiredWorkersTest, RetiredWorkersAreDestroyedOffTheCallingThread) {
    RetiredWorkers retired;
    for (int search = 0; search < 100; ++search)
        retired.Add(StartedWorker());
    while (!retired.ReleaseEnded())
        std::this_thread::yield();
    EXPECT_EQ(retired.Count(), 0u);
}

// What fails here is ThreadSanitizer (a race on an entry) or AddressSanitizer (an entry freed
// twice or never).
TEST(RetiredWorkersTest, AbandoningRacesTheEndOfEachRun) {
    for (int round = 0; round < 50; ++round) {
        RetiredWorkers retired;
        retired.Add(StartedWorker());
        retired.Add(StartedWorker());
        if (round % 2 == 0)
            retired.ReleaseEnded();
        // The destructor abandons what still runs; whichever side comes second frees it.
    }
}

} // namespace
