#include "discovery/Upnpthread.h"
#include "support/Descriptions.h"
#include "support/FakeDevice.h"
#include "support/LoopbackHttpServer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <utility>

namespace {

// Ticks the worker as the window does until running falls, read with acquire order.
void TickUntilTheEnd(UpnpThread& worker) {
    for (std::int32_t tick = 0; worker.running.load(std::memory_order_acquire); ++tick) {
        worker.searchTick.store(tick, std::memory_order_relaxed);
        std::this_thread::yield();
    }
}

// Run under ThreadSanitizer: the lists a run created must be visible, without a lock, to
// a reader who has seen running fall with acquire order. The addresses are never
// searched, so each run goes straight to its end.
TEST(HandOverTest, AReaderThatSawRunningFallSeesTheCompleteLists) {
    for (int run = 0; run < 50; ++run) {
        UpnpThread worker([] { return std::vector<std::string>{"127.0.0.1", "fe80::1"}; });
        ASSERT_TRUE(worker.Start());
        TickUntilTheEnd(worker);
        ASSERT_NE(worker.deviceList, nullptr);
        EXPECT_TRUE(worker.deviceList->empty());
        ASSERT_NE(worker.locationList, nullptr);
        EXPECT_TRUE(worker.locationList->empty());
    }
}

// The same with records in them: a device on loopback answers, its description is read (on
// the stream's thread, or the worker's), and the reader sees the record, the report and the
// networks that the run wrote.
TEST(HandOverTest, RecordsWrittenOnOtherThreadsAreSeenWhole) {
    const std::string body = Description("Korvane", "KT6610");
    LoopbackHttpServer router([&body](int fd, const std::string&) {
        LoopbackHttpServer::SendAll(fd, LoopbackHttpServer::Response("200 OK", body));
    });
    FakeDevice device({Answer(router.Url("/desc.xml"))});
    const int groupPort = FreeUdpPort();
    // The window's pass waits 3 s on a group that stays silent here: one run of it.
    for (const auto& [streaming, runs] : {std::pair{true, 5}, std::pair{false, 1}}) {
        for (int run = 0; run < runs; ++run) {
            // The unspecified address is searched from loopback, where the device is.
            UpnpThread worker([] { return std::vector<std::string>{"0.0.0.0"}; });
            worker.searchTarget =
                SearchTarget{"127.0.0.1", std::to_string(device.Port()), groupPort};
            worker.networkSource = [](const std::vector<std::string>&) {
                return std::vector<Ipv4Network>{*ParseIPv4Network("127.0.0.0/8")};
            };
            worker.streamDescriptions = streaming;
            const auto searchesBefore = device.Searches().size();
            ASSERT_TRUE(worker.Start());
            // The window stays open until the device has the request, so that its answer is
            // read in the pass under way.
            for (int waited = 0; device.Searches().size() == searchesBefore && waited < 5000;
                 waited += 5) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            TickUntilTheEnd(worker);
            ASSERT_NE(worker.deviceList, nullptr);
            ASSERT_EQ(worker.deviceList->size(), 1u) << streaming;
            EXPECT_EQ(worker.deviceList->front()->ipAddress, "127.0.0.1");
            ASSERT_EQ(worker.descriptionReports.size(), 1u);
            EXPECT_EQ(worker.descriptionReports[0].device, worker.deviceList->front());
            EXPECT_EQ(worker.descriptionReports[0].modelName, "KT6610");
            ASSERT_EQ(worker.addressReports.size(), 1u);
            EXPECT_GE(worker.addressReports[0].searchSocketAnswers, 1);
            EXPECT_EQ(worker.searchedNetworks.size(), 1u);
        }
    }
}

} // namespace
