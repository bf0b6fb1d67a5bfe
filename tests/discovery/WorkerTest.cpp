#include "discovery/SearchAnswer.h"
#include "discovery/SearchSchedule.h"
#include "discovery/Upnpthread.h"
#include "support/Descriptions.h"
#include "support/FakeDevice.h"
#include "support/LoopbackHttpServer.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>
#include <system_error>

namespace {

// Every worker here searches only "0.0.0.0" (or addresses never searched) with its
// target on loopback: the request goes to the fake device on 127.0.0.1, and the group
// receiver, asked to join a loopback address, joins nothing. The descriptions are served on
// loopback too, which the worker then takes for the searched network.
void AimAtLoopback(UpnpThread& worker, const FakeDevice& device, int groupPort) {
    worker.searchTarget = SearchTarget{"127.0.0.1", std::to_string(device.Port()), groupPort};
    worker.networkSource = [](const std::vector<std::string>&) {
        return std::vector<Ipv4Network>{*ParseIPv4Network("127.0.0.0/8")};
    };
}

// A worker that outlives its test (an assertion failed before its end) is stopped first, so
// that destroying it waits for one pass, not for a window that never closes.
struct StopFirst {
    void operator()(UpnpThread* worker) const {
        worker->keepRunning = false;
        delete worker;
    }
};
using TestWorker = std::unique_ptr<UpnpThread, StopFirst>;

class StopOnExit {
public:
    explicit StopOnExit(UpnpThread& stopped) : worker(stopped) {}
    ~StopOnExit() { worker.keepRunning = false; }
    StopOnExit(const StopOnExit&) = delete;
    StopOnExit& operator=(const StopOnExit&) = delete;

private:
    UpnpThread& worker;
};

TestWorker StartWorker(const FakeDevice& device, int groupPort,
                       std::vector<std::string> addresses = {"0.0.0.0"}, bool streaming = false) {
    TestWorker worker(new UpnpThread([addresses = std::move(addresses)] { return addresses; }));
    worker->streamDescriptions = streaming;
    AimAtLoopback(*worker, device, groupPort);
    EXPECT_TRUE(worker->Start());
    return worker;
}

// A run ends within a receive pass (under 4 s) once its window closes, and the fetches here
// are on loopback: a run still going after this is stuck, and the test says so.
bool WaitForEnd(const UpnpThread& worker, int timeoutMs = 20000) {
    return WaitUntil([&worker] { return !worker.running.load(std::memory_order_acquire); },
                     timeoutMs);
}

// Lets the worker enter its first receive pass after its request reached the device.
void LetFirstPassBegin(const FakeDevice& device) {
    ASSERT_TRUE(device.WaitForSearch(10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

LoopbackHttpServer::Responder Serve(const std::string& body, int delayMs = 0) {
    return [body, delayMs](int fd, const std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        LoopbackHttpServer::SendAll(fd, LoopbackHttpServer::Response("200 OK", body));
    };
}

std::vector<std::string> Addresses(const DeviceList& devices) {
    std::vector<std::string> addresses;
    for (const auto& device : devices) {
        addresses.push_back(device->ipAddress);
    }
    return addresses;
}

// An announcement without a location, sent after a burst of answers, ends the first pass's
// wait on the group, so that a part of the burst that came after that pass had looked is
// read by the next pass, whatever the threads' timing.
const std::string kEndOfBurst = "NOTIFY * HTTP/1.1\r\nNTS: ssdp:alive\r\n\r\n";

class WorkerTest : public ::testing::Test {
protected:
    int groupPort = FreeUdpPort();
};

TEST_F(WorkerTest, ListsTheMakersDevicesHeardOnEitherSocket) {
    LoopbackHttpServer router(
        Serve(Description("KORVANE Networks Ltd.", "KT6610", "Office", "KT-6610 v2", "S123")),
        "127.0.0.1");
    LoopbackHttpServer foreign(Serve(Description("Other Corp", "KT6610")), "127.0.0.2");
    LoopbackHttpServer announced(Serve(Description("Korvane", "bx-91c", "Hall")), "127.0.0.3");
    FakeDevice device({Answer(router.Url("/a.xml")), Answer(router.Url("/b.xml"), "Location"),
                       Answer(router.Url("/a.xml")), Answer(foreign.Url("/d.xml")),
                       Answer("http://127.0.0.4:9/gone.xml")},
                      {"NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nLocation: " +
                       announced.Url("/n.xml") + "\r\nNTS: ssdp:alive\r\n\r\n"},
                      groupPort);
    auto worker = StartWorker(device, groupPort);
    LetFirstPassBegin(device);
    worker->searchTick = SearchSchedule::WindowEnd(0);
    ASSERT_TRUE(WaitForEnd(*worker));

    ASSERT_EQ(device.Searches().size(), 1u);
    EXPECT_EQ(device.Searches().front(), kSearchRequest);
    ASSERT_NE(worker->deviceList, nullptr);
    const auto& devices = *worker->deviceList;
    // Each description an address offers is read (the window keeps one row per address). The
    // second answer may be read after the announcement, when a pass's drain came between them.
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0]->friendlyName, "Office");
    EXPECT_EQ(devices[0]->modelNumber, "KT-6610 v2");
    EXPECT_EQ(devices[0]->serialNumber, "S123");
    EXPECT_EQ(devices[0]->location, router.Url("/a.xml"));
    std::vector<std::string> rest{devices[1]->location, devices[2]->location};
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, (std::vector<std::string>{router.Url("/b.xml"), announced.Url("/n.xml")}));
    const auto hall = std::find_if(devices.begin(), devices.end(), [](const auto& record) {
        return record->ipAddress == "127.0.0.3";
    });
    ASSERT_NE(hall, devices.end());
    EXPECT_EQ((*hall)->friendlyName, "Hall");
    // A description address named twice is fetched once.
    ASSERT_EQ(router.Requests().size(), 2u);
    std::vector<std::string> paths;
    for (const auto& request : router.Requests()) {
        paths.push_back(RequestPath(request));
    }
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/a.xml", "/b.xml"}));
    EXPECT_EQ(foreign.Requests().size(), 1u);
}

// Answers that came in a burst are all read; one sender still names at most eight hosts.
TEST_F(WorkerTest, ABurstOfAnswersIsReadUpToEightHostsOfOneSender) {
    std::vector<std::unique_ptr<LoopbackHttpServer>> routers;
    std::vector<std::string> answers;
    for (int i = 0; i < 10; ++i) {
        routers.push_back(std::make_unique<LoopbackHttpServer>(
            Serve(Description("Korvane", "KT5520")), "127.0.0." + std::to_string(10 + i)));
        answers.push_back(Answer(routers.back()->Url("/desc.xml")));
    }
    FakeDevice device(answers, {kEndOfBurst}, groupPort);
    auto worker = StartWorker(device, groupPort);
    LetFirstPassBegin(device);
    worker->searchTick = SearchSchedule::WindowEnd(0);
    ASSERT_TRUE(WaitForEnd(*worker));

    std::vector<std::string> expected;
    for (int i = 0; i < 8; ++i) {
        expected.push_back("127.0.0." + std::to_string(10 + i));
    }
    EXPECT_EQ(Addresses(*worker->deviceList), expected);
    EXPECT_TRUE(routers[8]->Requests().empty());
    EXPECT_TRUE(routers[9]->Requests().empty());
}

TEST_F(WorkerTest, StopDuringTheSearchIsHonouredBeforeTheNextPass) {
    LoopbackHttpServer router(Serve(Description("Korvane", "KT6610")));
    FakeDevice device({Answer(router.Url("/desc.xml"))});
    auto worker = StartWorker(device, groupPort);
    LetFirstPassBegin(device);
    worker->keepRunning = false;
    worker.reset(); // returns once the pass under way has ended
    EXPECT_TRUE(router.Requests().empty());
}

TEST_F(WorkerTest, StopDuringIdentificationWaitsForEveryFetch) {
    LoopbackHttpServer first(Serve(Description("Korvane", "KT6610"), 500), "127.0.0.1");
    LoopbackHttpServer second(Serve(Description("Korvane", "KT5520"), 500), "127.0.0.2");
    FakeDevice device({Answer(first.Url("/desc.xml")), Answer(second.Url("/desc.xml"))},
                      {kEndOfBurst}, groupPort);
    auto worker = StartWorker(device, groupPort);
    LetFirstPassBegin(device);
    worker->searchTick = SearchSchedule::WindowEnd(0);
    ASSERT_TRUE(WaitUntil([&first] { return !first.Requests().empty(); }, 20000));
    worker->keepRunning = false;
    ASSERT_TRUE(WaitForEnd(*worker));
    EXPECT_EQ(Addresses(*worker->deviceList), (std::vector<std::string>{"127.0.0.1", "127.0.0.2"}));
}

// The window closed during the pass under way, so no pass follows to see the stop.
TEST_F(WorkerTest, StopAfterTheLastWindowClosedStillIdentifies) {
    LoopbackHttpServer router(Serve(Description("Korvane", "KT6610")));
    FakeDevice device({Answer(router.Url("/desc.xml"))});
    auto worker = StartWorker(device, groupPort);
    LetFirstPassBegin(device);
    worker->searchTick = SearchSchedule::WindowEnd(0);
    worker->keepRunning = false;
    ASSERT_TRUE(WaitForEnd(*worker));
    EXPECT_EQ(Addresses(*worker->deviceList), std::vector<std::string>{"127.0.0.1"});
}

TEST_F(WorkerTest, NoUsableAddressEndsAtOnceWithAnEmptyList) {
    FakeDevice device({});
    auto worker = StartWorker(device, groupPort,
                              {"127.0.0.1", "169.254.3.4", "fe80::1", "::1", "router.local"});
    ASSERT_TRUE(WaitForEnd(*worker, 10000));
    ASSERT_NE(worker->deviceList, nullptr);
    EXPECT_TRUE(worker->deviceList->empty());
    EXPECT_TRUE(device.Searches().empty());
}

// The address at index 1 listens until the end of its window, the skipped IPv6 address
// counting for the index.
TEST_F(WorkerTest, AddressAtIndexOneListensUntilItsWindowEnds) {
    LoopbackHttpServer router(Serve(Description("Korvane", "KT6610")));
    FakeDevice device({Answer(router.Url("/desc.xml"))});
    auto worker = StartWorker(device, groupPort, {"fe80::1", "0.0.0.0"});
    LetFirstPassBegin(device);
    worker->searchTick = SearchSchedule::WindowEnd(1) - 1;
    // Two whole passes go by, each ended by a datagram on the group and counted when it ends:
    // the second began after the tick was set, and the window stayed open.
    for (int pass = 1; pass <= 2; ++pass) {
        const int heard = worker->answersHeard.load();
        SendDatagram(groupPort, kEndOfBurst);
        ASSERT_TRUE(WaitUntil([&] { return worker->answersHeard.load() > heard; }, 10000));
    }
    EXPECT_TRUE(worker->running.load(std::memory_order_acquire));
    EXPECT_TRUE(router.Requests().empty());
    worker->searchTick = SearchSchedule::WindowEnd(1);
    ASSERT_TRUE(WaitForEnd(*worker));
    EXPECT_EQ(Addresses(*worker->deviceList), std::vector<std::string>{"127.0.0.1"});
}

// The program neither stops nor waits for a worker still running when it ends; the exit
// must still be clean while the worker is inside a fetch.
TEST_F(WorkerTest, AWorkerStillFetchingDoesNotDisturbTheProgramsExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Held by never-destroyed pointers, as the program holds its last worker.
            static auto* router = new LoopbackHttpServer(
                [](int fd, const std::string&) { LoopbackHttpServer::WaitForClose(fd); });
            static auto* device = new FakeDevice({Answer(router->Url("/desc.xml"))});
            static auto* worker = StartWorker(*device, groupPort).release();
            LetFirstPassBegin(*device);
            worker->searchTick = SearchSchedule::WindowEnd(0);
            WaitUntil([] { return !router->Requests().empty(); }, 20000);
            std::exit(router->Requests().empty() ? 3 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

class UnstartableWorker : public UpnpThread {
public:
    using UpnpThread::UpnpThread;

protected:
    std::thread LaunchThread(std::function<void()>) override {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
};

TEST(WorkerStartTest, AFailedStartIsSwallowedAndEndsTheSearch) {
    UnstartableWorker worker([] { return std::vector<std::string>{"127.0.0.1"}; });
    EXPECT_FALSE(worker.Start()); // it set running, then cleared it
    EXPECT_FALSE(worker.running.load(std::memory_order_acquire));
    EXPECT_EQ(worker.deviceList, nullptr);
}

TEST(WorkerStartTest, StartsOnlyOnce) {
    UpnpThread worker([] { return std::vector<std::string>{"127.0.0.1"}; });
    const StopOnExit stop(worker);
    EXPECT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start());
    EXPECT_TRUE(WaitForEnd(worker, 10000));
}

// The window's way: the descriptions are fetched side by side, yet the list keeps the order in
// which the locations were heard, whichever fetch ends first.
TEST_F(WorkerTest, ListsInTheOrderOfTheLocationsWhicheverFetchEndsFirst) {
    LoopbackHttpServer slow(Serve(Description("Korvane", "KT6610", "Slow"), 1500), "127.0.0.1");
    LoopbackHttpServer quick(Serve(Description("Korvane", "KT5520", "Quick")), "127.0.0.2");
    FakeDevice device({Answer(slow.Url("/d.xml")), Answer(quick.Url("/d.xml"))}, {kEndOfBurst},
                      groupPort);
    auto worker = StartWorker(device, groupPort);
    LetFirstPassBegin(device);
    worker->searchTick = SearchSchedule::WindowEnd(0);
    ASSERT_TRUE(WaitForEnd(*worker));
    EXPECT_EQ(Addresses(*worker->deviceList), (std::vector<std::string>{"127.0.0.1", "127.0.0.2"}));
}

// The window's way sends its request once per address, however long the window stays open:
// here past two whole receive passes, longer than the streaming way's repeats take.
TEST_F(WorkerTest, TheWindowsWaySendsItsRequestOnce) {
    FakeDevice device({});
    auto worker = StartWorker(device, groupPort);
    ASSERT_TRUE(device.WaitForSearch(10000));
    for (int pass = 1; pass <= 2; ++pass) {
        SendDatagram(groupPort, kEndOfBurst); // ends the pass's wait on the group
        ASSERT_TRUE(WaitUntil([&] { return worker->answersHeard.load() >= pass; }, 10000));
    }
    worker->searchTick = SearchSchedule::WindowEnd(0);
    ASSERT_TRUE(WaitForEnd(*worker));
    EXPECT_EQ(device.Searches(), std::vector<std::string>{std::string(kSearchRequest)});
}

// Streaming: a description is read while the search still runs, the request is repeated,
// rejected devices are reported with the reason, and every address of the run is accounted for.
TEST_F(WorkerTest, StreamingReadsDescriptionsDuringTheSearchAndReportsThemAll) {
    LoopbackHttpServer maker(Serve(Description("Korvane", "KT6610")), "127.0.0.1");
    LoopbackHttpServer foreign(Serve(Description("Acme", "KT6610")), "127.0.0.2");
    FakeDevice device({Answer(maker.Url("/d.xml")), Answer(foreign.Url("/d.xml"))}, {}, groupPort);
    std::mutex lock;
    std::vector<DescriptionReport> reports;
    UpnpThread worker([] { return std::vector<std::string>{"0.0.0.0", "fe80::1"}; });
    const StopOnExit stop(worker);
    AimAtLoopback(worker, device, groupPort);
    worker.streamDescriptions = true;
    worker.onDescription = [&](const DescriptionReport& report) {
        std::lock_guard<std::mutex> guard(lock);
        reports.push_back(report);
    };
    ASSERT_TRUE(worker.Start());
    // The tick stays at 0, so the search phase is still under way.
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::lock_guard<std::mutex> guard(lock);
            return reports.size() == 2;
        },
        20000));
    EXPECT_TRUE(worker.running.load());
    // The request goes out twice more while the window is open, and each is answered.
    ASSERT_TRUE(WaitUntil([&worker] { return worker.answersHeard.load() == 6; }, 20000));
    worker.searchTick = SearchSchedule::WindowEnd(0);
    ASSERT_TRUE(WaitForEnd(worker));
    EXPECT_EQ(device.Searches(), std::vector<std::string>(3, std::string(kStreamingSearchRequest)));

    EXPECT_EQ(Addresses(*worker.deviceList), std::vector<std::string>{"127.0.0.1"});
    std::lock_guard<std::mutex> guard(lock);
    const auto rejected = std::find_if(reports.begin(), reports.end(),
                                       [](const auto& report) { return !report.device; });
    ASSERT_NE(rejected, reports.end());
    EXPECT_EQ(rejected->host, "127.0.0.2");
    EXPECT_EQ(rejected->rejection, Rejection::OtherMaker);
    ASSERT_EQ(worker.addressReports.size(), 2u);
    EXPECT_EQ(worker.addressReports[0].address, "0.0.0.0");
    EXPECT_EQ(worker.addressReports[0].skipped, "");
    EXPECT_EQ(worker.addressReports[0].searchSocketAnswers, 6);
    EXPECT_EQ(worker.addressReports[1].address, "fe80::1");
    EXPECT_EQ(worker.addressReports[1].skipped, "IPv6");
}

// With the system's own networks, where no interface holds "0.0.0.0", a location on loopback
// cannot be the device: it is reported, by either way of identifying, and never fetched.
TEST_F(WorkerTest, ALocationThatCannotBeTheDeviceIsReportedNotFetched) {
    LoopbackHttpServer local(Serve(Description("Korvane", "KT6610")), "127.0.0.1");
    for (const bool stream : {false, true}) {
        FakeDevice device({Answer(local.Url("/d.xml")), Answer("http://0.0.0.0:9/d.xml")}, {},
                          groupPort);
        std::mutex lock;
        std::vector<DescriptionReport> reports;
        UpnpThread worker([] { return std::vector<std::string>{"0.0.0.0"}; });
        worker.searchTarget = SearchTarget{"127.0.0.1", std::to_string(device.Port()), groupPort};
        worker.streamDescriptions = stream;
        worker.onDescription = [&](const DescriptionReport& report) {
            std::lock_guard<std::mutex> guard(lock);
            reports.push_back(report);
        };
        ASSERT_TRUE(worker.Start());
        LetFirstPassBegin(device);
        worker.searchTick = SearchSchedule::WindowEnd(0);
        ASSERT_TRUE(WaitForEnd(worker));

        EXPECT_TRUE(worker.deviceList->empty()) << stream;
        std::lock_guard<std::mutex> guard(lock);
        ASSERT_EQ(reports.size(), 2u) << stream;
        std::sort(reports.begin(), reports.end(),
                  [](const auto& a, const auto& b) { return a.url > b.url; });
        EXPECT_EQ(reports[0].refusal, LocationRefusal::Loopback) << stream;
        EXPECT_EQ(RejectionText(reports[0]), "not fetched: names a loopback address") << stream;
        EXPECT_EQ(reports[0].rejection, Rejection::NotFetched) << stream;
        EXPECT_EQ(reports[1].refusal, LocationRefusal::Unspecified) << stream;
    }
    EXPECT_TRUE(local.Requests().empty());
}

} // namespace
