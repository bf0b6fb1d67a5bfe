#include "discovery/transport/MultiFetch.h"

#include "support/CaseName.h"
#include "support/Descriptions.h"
#include "support/FakeDevice.h"
#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <thread>

namespace {

using Server = LoopbackHttpServer;

Server::Responder AnswerOk(std::string body) {
    return [body = std::move(body)](int fd, const std::string&) {
        Server::SendAll(fd, Server::Response("200 OK", body));
    };
}

// The first server answers only once the last one has been asked: fetched one after another
// the last request would come only after the first answer, and the first would give up
// waiting for it. The results still come in the order of the urls.
TEST(FetchAll, FetchesSideBySideAndGivesTheResultsInTheOrderOfTheUrls) {
    std::atomic<bool> overlapped{false};
    Server last(AnswerOk("third"), "127.0.0.3");
    Server first(
        [&](int fd, const std::string&) {
            overlapped = WaitUntil([&last] { return !last.Requests().empty(); }, 10000);
            Server::SendAll(fd, Server::Response("200 OK", "first"));
        },
        "127.0.0.1");
    Server middle(AnswerOk("second"), "127.0.0.2");

    const auto results = FetchAll({first.Url("/a.xml"), middle.Url("/b.xml"), last.Url("/c.xml")},
                                  std::chrono::seconds(30));
    EXPECT_TRUE(overlapped);
    ASSERT_EQ(results.size(), 3u);
    const char* bodies[] = {"first", "second", "third"};
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i].id, i);
        EXPECT_TRUE(results[i].fetched) << results[i].failure;
        EXPECT_EQ(results[i].body, bodies[i]);
        EXPECT_EQ(results[i].failure, "");
    }
    // The same request as a lone fetch sends.
    EXPECT_NE(first.Requests().front().find("User-Agent: " + std::string(kHttpUserAgent)),
              std::string::npos);
}

// More urls than run at once: every one is fetched, each exactly once.
TEST(FetchAll, QueuesWhatIsBeyondTheParallelLimit) {
    Server server(AnswerOk(Description("Korvane", "KT6610")));
    std::vector<std::string> urls;
    for (std::size_t i = 0; i < HttpMultiFetch::kParallel * 2 + 3; ++i) {
        urls.push_back(server.Url("/" + std::to_string(i) + ".xml"));
    }
    const auto results = FetchAll(urls, std::chrono::seconds(60));
    ASSERT_EQ(results.size(), urls.size());
    for (const auto& result : results) {
        EXPECT_TRUE(result.fetched) << result.failure;
    }
    EXPECT_EQ(server.Requests().size(), urls.size());
}

// A lost SYN-ACK costs the system's 1 s retransmission, a second one 2 s more: a connection
// that is not answered within a short wait is tried again on a fresh one. The server opens
// only once it has seen two attempts, so without the retry the fetch would wait out its
// connect bound. The request itself is sent once.
TEST(FetchAll, TriesAnUnansweredConnectionAgainOnAFreshOne) {
    Server server(AnswerOk("late"), "127.0.0.1", 0, Server::Start::Held);
    std::set<int> attempts;
    std::thread opener([&] {
        WaitUntil(
            [&] {
                for (const int port : server.UnansweredConnections()) {
                    attempts.insert(port);
                }
                return attempts.size() >= 2;
            },
            10000);
        server.Open();
    });
    const auto results = FetchAll({server.Url("/d.xml")}, std::chrono::seconds(30));
    opener.join();
    EXPECT_GE(attempts.size(), 2u);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].fetched) << results[0].failure;
    EXPECT_EQ(results[0].body, "late");
    EXPECT_EQ(server.Requests().size(), 1u);
}

// A server that drops a kept-alive connection once the next request is on it: libcurl makes
// that fetch again on a new connection (the request went out once on each), which must not be
// taken for an attempt outpaced by another.
TEST(HttpMultiFetchTest, AKeptAliveConnectionThatDiesIsMadeAgainForTheSameFetch) {
    Server server([](int fd, const std::string& request) {
        if (RequestPath(request) != "/a.xml") {
            Server::SendAll(fd, Server::Response("200 OK", "second"));
            return;
        }
        Server::SendAll(fd, Server::Response("200 OK", "first"));
        // The next request on this connection is read and left unanswered.
        char buffer[4096];
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, 5000) > 0) {
            (void)::recv(fd, buffer, sizeof buffer, 0);
        }
    });
    HttpMultiFetch fetch;
    std::vector<FetchResult> results;
    const auto store = [&results](FetchResult result) { results.push_back(std::move(result)); };
    const auto fetchAlone = [&](std::size_t id, const std::string& path) {
        fetch.Add(id, server.Url(path));
        for (int step = 0; step < 200 && !fetch.Idle(); ++step) {
            fetch.Step(std::chrono::milliseconds(100), store);
        }
    };
    fetchAlone(0, "/a.xml");
    fetchAlone(1, "/b.xml");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].fetched) << results[0].failure;
    EXPECT_TRUE(results[1].fetched) << results[1].failure;
    EXPECT_EQ(results[1].body, "second");
    // The second request was read on the first connection, then answered on a new one.
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(RequestPath(server.Requests().back()), "/b.xml");
}

// A device that never answers a connection still fails once the connect bound is over, not
// at the batch's far later one, after more than one attempt.
TEST(FetchAll, StopsTryingAConnectionAtTheConnectBound) {
    Server server(AnswerOk("never"), "127.0.0.1", 0, Server::Start::Held);
    HttpLimits limits;
    limits.connect = std::chrono::milliseconds(2000);
    std::set<int> attempts;
    std::atomic<bool> fetching{true};
    std::thread counter([&] {
        while (fetching) {
            for (const int port : server.UnansweredConnections()) {
                attempts.insert(port);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const auto results = FetchAll({server.Url("/d.xml")}, std::chrono::seconds(60), limits);
    fetching = false;
    counter.join();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0].fetched);
    EXPECT_EQ(results[0].failure, "timed out");
    EXPECT_GE(attempts.size(), 2u);
    EXPECT_TRUE(server.Requests().empty());
}

struct FailureCase {
    const char* name;
    std::function<std::string(Server&)> url;
    const char* failure;
};

class FetchFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FetchFailureTest, SaysWhyAFetchFailed) {
    // A body over the limit for the size case; a silent one for the stalled case.
    Server server([](int fd, const std::string& request) {
        if (RequestPath(request) == "/big.xml") {
            Server::SendAll(fd, Server::Response("200 OK", std::string(2048, 'x')));
        } else {
            Server::WaitForClose(fd);
        }
    });
    HttpLimits limits;
    limits.eachWait = std::chrono::milliseconds(300);
    limits.maxBody = 1024;
    const auto results = FetchAll({GetParam().url(server)}, std::chrono::seconds(30), limits);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0].fetched);
    EXPECT_EQ(results[0].failure, GetParam().failure);
    // A connection that stood is never made again: a silent device is asked once.
    EXPECT_LE(server.Requests().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FetchFailureTest,
    ::testing::Values(FailureCase{"Refused",
                                  [](Server&) {
                                      return "http://127.0.0.1:" + std::to_string(ClosedTcpPort()) +
                                             "/d.xml";
                                  },
                                  "connection refused"},
                      FailureCase{"NotHttp",
                                  [](Server&) { return std::string("ftp://127.0.0.1/d.xml"); },
                                  "not a plain http address"},
                      FailureCase{"Unparsable", [](Server&) { return std::string(""); },
                                  "not a usable http address"},
                      FailureCase{"TooBig", [](Server& s) { return s.Url("/big.xml"); },
                                  "description larger than 1024 bytes"},
                      FailureCase{"Silent", [](Server& s) { return s.Url("/silent.xml"); },
                                  "no data for 300 ms"}),
    CaseName());

// Each fetch keeps its own bounds, and the batch as a whole has one: beyond it what is still
// running is given up, what was fetched stays.
TEST(FetchAll, GivesUpWhatIsStillRunningAtTheBound) {
    Server quick(AnswerOk("quick"), "127.0.0.1");
    Server silent([](int fd, const std::string&) { Server::WaitForClose(fd); }, "127.0.0.2");
    const auto results =
        FetchAll({quick.Url("/q.xml"), silent.Url("/s.xml")}, std::chrono::milliseconds(1500));
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].fetched);
    EXPECT_EQ(results[0].body, "quick");
    EXPECT_FALSE(results[1].fetched);
    EXPECT_EQ(results[1].failure, "the identification took longer than 1 s");
}

} // namespace
