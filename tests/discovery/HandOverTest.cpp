#include "discovery/Upnpthread.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

// Run under ThreadSanitizer: the lists a run created must be visible, without a lock, to
// a reader who has seen running fall with acquire order. The addresses are never
// searched, so each run goes straight to its end.
TEST(HandOverTest, AReaderThatSawRunningFallSeesTheCompleteLists) {
    for (int run = 0; run < 50; ++run) {
        UpnpThread worker([] { return std::vector<std::string>{"127.0.0.1", "fe80::1"}; });
        ASSERT_TRUE(worker.Start());
        for (std::int32_t tick = 0; worker.running.load(std::memory_order_acquire); ++tick) {
            worker.searchTick.store(tick, std::memory_order_relaxed);
            std::this_thread::yield();
        }
        ASSERT_NE(worker.deviceList, nullptr);
        EXPECT_TRUE(worker.deviceList->empty());
        ASSERT_NE(worker.locationList, nullptr);
        EXPECT_TRUE(worker.locationList->empty());
    }
}

} // namespace
