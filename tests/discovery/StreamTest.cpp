// Small on purpose: the ThreadSanitizer build runs it, with the worker hand-over.
#include "discovery/IdentificationStream.h"
#include "support/Descriptions.h"
#include "support/FakeDevice.h"
#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>
#include <mutex>

namespace {

using Server = LoopbackHttpServer;

Server::Responder Send(std::string body) {
    return [body = std::move(body)](int fd, const std::string&) {
        Server::SendAll(fd, Server::Response("200 OK", body));
    };
}

void Hang(int fd, const std::string&) {
    Server::WaitForClose(fd);
}

struct Seen {
    std::mutex lock;
    std::vector<std::string> hosts;

    void Add(const DescriptionReport& report) {
        std::lock_guard<std::mutex> guard(lock);
        hosts.push_back(report.host);
    }
    std::size_t Count() {
        std::lock_guard<std::mutex> guard(lock);
        return hosts.size();
    }
};

// The first location is reported before the second is even handed over.
TEST(IdentificationStream, ReportsEachLocationOnceAsItIsRead) {
    Server maker(Send(Description("Korvane", "KT6610", "Hall")), "127.0.0.1");
    Server foreign(Send(Description("Acme", "KT6610")), "127.0.0.2");
    Seen seen;
    IdentificationStream stream([&seen](const DescriptionReport& report) { seen.Add(report); });
    stream.Add({"127.0.0.1", maker.Url("/d.xml")}, "127.0.0.1");
    ASSERT_TRUE(WaitUntil([&seen] { return seen.Count() == 1; }, 20000));
    stream.Add({"127.0.0.2", foreign.Url("/d.xml")}, "127.0.0.2");
    const auto reports = stream.Finish(std::chrono::seconds(30));

    ASSERT_EQ(reports.size(), 2u);
    ASSERT_NE(reports[0].device, nullptr);
    EXPECT_EQ(reports[0].device->friendlyName, "Hall");
    EXPECT_EQ(reports[1].host, "127.0.0.2");
    EXPECT_EQ(reports[1].rejection, Rejection::OtherMaker);
    EXPECT_EQ(seen.hosts, (std::vector<std::string>{"127.0.0.1", "127.0.0.2"}));
    EXPECT_EQ(maker.Requests().size(), 1u);
}

TEST(IdentificationStream, FinishGivesUpAtItsBound) {
    Server silent(Hang);
    IdentificationStream stream(nullptr);
    stream.Add({"127.0.0.1", silent.Url("/d.xml")}, "127.0.0.1");
    const auto reports = stream.Finish(std::chrono::milliseconds(1000));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(RejectionText(reports[0]),
              "description could not be read: the identification took longer than 1 s");
}

// A stop during the search destroys the stream with a fetch under way: it ends without
// waiting for the fetch's bounds and reports nothing more.
TEST(IdentificationStream, DestroyedWithAFetchUnderWayReportsNothing) {
    Server silent(Hang);
    Seen seen;
    {
        IdentificationStream stream([&seen](const DescriptionReport& report) { seen.Add(report); });
        stream.Add({"127.0.0.1", silent.Url("/d.xml")}, "127.0.0.1");
        ASSERT_TRUE(WaitUntil([&silent] { return !silent.Requests().empty(); }, 20000));
    }
    EXPECT_EQ(seen.Count(), 0u);
}

} // namespace
