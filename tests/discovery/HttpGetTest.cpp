#include "discovery/transport/HttpGet.h"

#include "discovery/Identification.h"
#include "support/CaseName.h"
#include "support/LoopbackHttpServer.h"
#include "support/PrivateNetwork.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Server = LoopbackHttpServer;

Server::Responder Send(std::string bytes) {
    return [bytes = std::move(bytes)](int fd, const std::string&) { Server::SendAll(fd, bytes); };
}

struct HostHeaderCase {
    const char* name;
    const char* url;
    const char* header;
};

class HttpHostHeaderTest : public ::testing::TestWithParam<HostHeaderCase> {};

TEST_P(HttpHostHeaderTest, NamesThePortOnlyWhenItIsNot80) {
    EXPECT_EQ(HttpHostHeader(GetParam().url), GetParam().header);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpHostHeaderTest,
    ::testing::Values(HostHeaderCase{"NoPort", "http://192.0.2.10/desc.xml", "Host: 192.0.2.10"},
                      HostHeaderCase{"Port80", "http://192.0.2.10:80/desc.xml", "Host: 192.0.2.10"},
                      HostHeaderCase{"Port5000", "http://192.0.2.10:5000/desc.xml",
                                     "Host: 192.0.2.10:5000"},
                      HostHeaderCase{"IPv6", "http://[fe80::1]:5000/d.xml", "Host: [fe80::1]:5000"},
                      HostHeaderCase{"Name", "http://router.lan:8080", "Host: router.lan:8080"},
                      HostHeaderCase{"Unparsable", "http://192.0.2.10:99999/d.xml", ""}),
    CaseName());

std::string ExpectedRequest(const std::string& target, const std::string& host) {
    return "GET " + target + " HTTP/1.1\r\nHost: " + host +
           "\r\nUser-Agent: Mozilla/4.0 (compatible; Korvane Browser)\r\nContent-Length: "
           "0\r\n\r\n";
}

// Port 80 needs the right to bind it, which the test's own network namespace gives.
TEST(HttpGetTextTest, SendsExactlyTheRequestLinesOnPort80And5000) {
    for (const int port : {80, 5000}) {
        Server server(Send(Server::Response("200 OK", "x")), "127.0.0.1", port);
        if (!server.Listening()) {
            SKIP_OUTSIDE_CI("cannot listen on 127.0.0.1:" << port);
        }
        TextLines lines;
        EXPECT_TRUE(HttpGetText(server.Url("/dev/desc.xml?v=1"), lines));
        const auto host = port == 80 ? std::string("127.0.0.1") : "127.0.0.1:5000";
        ASSERT_EQ(server.Requests().size(), 1u);
        EXPECT_EQ(server.Requests().front(), ExpectedRequest("/dev/desc.xml?v=1", host));
    }
}

TEST(HttpGetTextTest, AnErrorPageArrivingInFullIsReadAndThenRejected) {
    Server server(Send(
        Server::Response("404 Not Found", "<html>\r\n<body>No such page</body>\r\n</html>\r\n")));
    TextLines lines;
    EXPECT_TRUE(HttpGetText(server.Url("/desc.xml"), lines));
    EXPECT_EQ(lines, (TextLines{"<html>", "<body>No such page</body>", "</html>"}));
    EXPECT_EQ(
        JudgeDevice(ExtractTagValue(lines, "manufacturer"), ExtractTagValue(lines, "modelName")),
        Rejection::OtherMaker);
}

struct BodyCase {
    const char* name;
    std::vector<std::string> writes; // written one after another, 20 ms apart
    bool fetched;
    TextLines lines;
};

class HttpBodyTest : public ::testing::TestWithParam<BodyCase> {};

TEST_P(HttpBodyTest, ReadsTheBodyTheWayTheServerFramesIt) {
    Server server([](int fd, const std::string&) {
        for (const auto& bytes : GetParam().writes) {
            Server::SendAll(fd, bytes);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    TextLines lines;
    EXPECT_EQ(HttpGetText(server.Url("/d.xml"), lines), GetParam().fetched);
    EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpBodyTest,
    ::testing::Values(
        BodyCase{"ContentLength",
                 {"HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n", "a\r\nb\nc\r", "IGNORED"},
                 true,
                 {"a", "b", "c"}},
        BodyCase{"Chunked",
                 {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "4\r\n<a>\n\r\n",
                  "6\r\n<b>x</\r\n", "3\r\nb>\n\r\n0\r\n\r\n"},
                 true,
                 {"<a>", "<b>x</b>"}},
        BodyCase{"UntilClose",
                 {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", "one\r\n", "two"},
                 true,
                 {"one", "two"}},
        BodyCase{"NoStatusLine", {"<root>\r\n", "<x/>\r\n"}, true, {"<root>", "<x/>"}},
        BodyCase{"CutShort",
                 {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n", "partial\r\n"},
                 false,
                 {"partial"}},
        BodyCase{"NothingAtAll", {}, false, {}}),
    CaseName());

// A server that sends a little, then neither sends nor closes: the wait is bounded. Were
// it not, the server would close after 20 s and the body, framed by the close, would pass.
TEST(HttpGetTextTest, AStalledServerTimesOut) {
    for (const bool headersFirst : {false, true}) {
        Server server([headersFirst](int fd, const std::string&) {
            if (headersFirst) {
                Server::SendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n<root>");
            }
            Server::WaitForClose(fd);
        });
        HttpLimits limits;
        limits.eachWait = std::chrono::milliseconds(500);
        TextLines lines;
        EXPECT_FALSE(HttpGetText(server.Url("/d.xml"), lines, limits)) << headersFirst;
    }
}

// A body that trickles in without end is cut off by the bound on the whole fetch.
TEST(HttpGetTextTest, ATricklingBodyIsCutOffByTheWholeBound) {
    Server server([](int fd, const std::string&) {
        Server::SendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        for (int i = 0; i < 100 && Server::SendAll(fd, "x"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    HttpLimits limits;
    limits.whole = std::chrono::milliseconds(1500);
    TextLines lines;
    EXPECT_FALSE(HttpGetText(server.Url("/d.xml"), lines, limits));
}

struct CapCase {
    const char* name;
    std::size_t size;
    bool announceLength;
    bool fetched;
};

class HttpBodyCapTest : public ::testing::TestWithParam<CapCase> {};

TEST_P(HttpBodyCapTest, ABodyOverOneMebibyteIsAFailedFetch) {
    const auto& [name, size, announceLength, fetched] = GetParam();
    Server server([size = size, announceLength = announceLength](int fd, const std::string&) {
        Server::SendAll(fd, "HTTP/1.1 200 OK\r\n" +
                                (announceLength ? "Content-Length: " + std::to_string(size) + "\r\n"
                                                : std::string("Connection: close\r\n")) +
                                "\r\n" + std::string(size, 'x'));
    });
    std::string body;
    EXPECT_EQ(HttpGetBody(server.Url("/big.xml"), body), fetched);
    if (fetched) {
        EXPECT_EQ(body.size(), size);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HttpBodyCapTest,
                         ::testing::Values(CapCase{"ExactlyTheCap", 1 << 20, true, true},
                                           CapCase{"ExactlyTheCapUntilClose", 1 << 20, false, true},
                                           CapCase{"OneByteOver", (1 << 20) + 1, true, false},
                                           CapCase{"OneByteOverUntilClose", (1 << 20) + 1, false,
                                                   false}),
                         CaseName());

TEST(HttpGetTextTest, FailsForARefusedConnectionAndForAnythingButPlainHttp) {
    for (const auto& url : {"http://127.0.0.1:" + std::to_string(ClosedTcpPort()) + "/desc.xml",
                            std::string("file:///etc/hostname"),
                            std::string("ftp://127.0.0.1/desc.xml"), std::string("")}) {
        TextLines lines{"stale"};
        EXPECT_FALSE(HttpGetText(url, lines)) << url;
        EXPECT_TRUE(lines.empty()) << url;
    }
}

// A location's host comes from anyone on the network: a name is neither looked up nor fetched,
// even one the machine resolves without a name server. The numeric forms are fetched.
TEST(HttpGetTextTest, AHostNameIsNeitherResolvedNorFetched) {
    Server server([](int fd, const std::string&) {
        Server::SendAll(fd, Server::Response("200 OK", "<root/>"));
    });
    const std::string port = std::to_string(server.Port());
    for (const std::string host : {"localhost", "LOCALHOST.", "127.0.0.1.", "127.1.x"}) {
        TextLines lines{"stale"};
        EXPECT_FALSE(HttpGetText("http://" + host + ":" + port + "/desc.xml", lines)) << host;
        EXPECT_TRUE(lines.empty()) << host;
    }
    EXPECT_TRUE(server.Requests().empty());

    TextLines lines;
    EXPECT_TRUE(HttpGetText("http://127.0.0.1:" + port + "/desc.xml", lines));
    EXPECT_EQ(lines, TextLines{"<root/>"});
    EXPECT_EQ(server.Requests().size(), 1u);
}

struct HeaderCase {
    const char* name;
    std::size_t headerBytes;
    bool fetched;
};

class HttpHeaderCapTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HttpHeaderCapTest, HeadersThatGoOnArePartOfAFailedFetch) {
    const auto& [name, headerBytes, fetched] = GetParam();
    Server server([headerBytes = headerBytes](int fd, const std::string&) {
        std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n";
        while (head.size() < headerBytes)
            head += "X-Filler: " + std::string(90, 'x') + "\r\n";
        Server::SendAll(fd, head + "\r\n<root/>");
    });
    std::string body;
    EXPECT_EQ(HttpGetBody(server.Url("/desc.xml"), body), fetched);
}

INSTANTIATE_TEST_SUITE_P(Cases, HttpHeaderCapTest,
                         ::testing::Values(HeaderCase{"Usual", 300, true},
                                           HeaderCase{"Big", 60 * 1024, true},
                                           HeaderCase{"OverTheCap", 70 * 1024, false},
                                           HeaderCase{"Endless", 8 << 20, false}),
                         CaseName());

} // namespace
