// The simulated device must behave like a real one, or the namespace tests prove nothing.
#include "Description.h"
#include "MediaServer.h"
#include "Options.h"
#include "Ssdp.h"

#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace {

DevsimOptions Parsed(std::vector<const char*> args) {
    args.insert(args.begin(), "pathmere-devsim");
    DevsimOptions options;
    std::string error;
    EXPECT_TRUE(ParseDevsimOptions(static_cast<int>(args.size()), args.data(), options, error))
        << error;
    return options;
}

struct SearchCase {
    const char* name;
    const char* datagram;
    bool answered;
    const char* st;
    int mx;
};

class SearchRequestTest : public testing::TestWithParam<SearchCase> {};

TEST_P(SearchRequestTest, AnswersOnlyProperSearches) {
    const SearchCase& c = GetParam();
    const auto request = ParseSearchRequest(c.datagram);
    ASSERT_EQ(request.has_value(), c.answered);
    if (c.answered) {
        EXPECT_EQ(request->st, c.st);
        EXPECT_EQ(request->mx, c.mx);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SearchRequestTest,
    testing::Values(
        SearchCase{"TheProgramsRequest",
                   "M-SEARCH * HTTP/1.1\r\nMX: 10\r\nST: ssdp:all\r\nHOST: "
                   "239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n\r\n",
                   true, "ssdp:all", 10},
        SearchCase{"LowerCaseAndBareLineFeeds",
                   "m-search * http/1.1\nst: upnp:rootdevice\nman: \"ssdp:discover\"\n\n", true,
                   "upnp:rootdevice", 1},
        SearchCase{"MxOutOfRangeClamped",
                   "M-SEARCH * HTTP/1.1\r\nST: ssdp:all\r\nMAN: \"ssdp:discover\"\r\nMX: 0\r\n",
                   true, "ssdp:all", 1},
        SearchCase{"ManWithoutQuotes",
                   "M-SEARCH * HTTP/1.1\r\nST: ssdp:all\r\nMAN: ssdp:discover\r\n\r\n", false, "",
                   0},
        SearchCase{"NoMan", "M-SEARCH * HTTP/1.1\r\nST: ssdp:all\r\n\r\n", false, "", 0},
        SearchCase{"NoSt", "M-SEARCH * HTTP/1.1\r\nMAN: \"ssdp:discover\"\r\n\r\n", false, "", 0},
        SearchCase{"Announcement",
                   "NOTIFY * HTTP/1.1\r\nNT: upnp:rootdevice\r\nNTS: ssdp:alive\r\n\r\n", false, "",
                   0},
        SearchCase{"AnAnswer", "HTTP/1.1 200 OK\r\nST: ssdp:all\r\n\r\n", false, "", 0}),
    [](const testing::TestParamInfo<SearchCase>& row) { return std::string(row.param.name); });

TEST(Targets, OneAnswerPerDeviceAndServiceRepeatedWhenMoreAreAsked) {
    const auto twelve =
        TargetsFor(Parsed({"--address", "192.0.2.10", "--answers", "12"}), "ssdp:all");
    ASSERT_EQ(twelve.size(), 12u);
    EXPECT_EQ(std::set<std::string>(twelve.begin(), twelve.end()).size(), 10u);
    EXPECT_EQ(twelve[0], "upnp:rootdevice");
    EXPECT_EQ(twelve[10], twelve[0]);

    const auto options = Parsed({"--address", "192.0.2.10"});
    EXPECT_EQ(TargetsFor(options, "ssdp:all").size(), 4u);
    EXPECT_EQ(TargetsFor(options, "urn:schemas-upnp-org:service:WANIPConnection:1").size(), 1u);
    EXPECT_EQ(TargetsFor(options, options.udn).size(), 1u);
    EXPECT_TRUE(TargetsFor(options, "urn:schemas-upnp-org:device:MediaServer:1").empty());
    EXPECT_TRUE(
        TargetsFor(Parsed({"--address", "192.0.2.10", "--answers", "0"}), "ssdp:all").empty());
}

TEST(Answer, HeadersOfARealDeviceInBothLocationSpellings) {
    const auto plain = Parsed({"--address", "192.0.2.10", "--http-port", "5000"});
    const std::string location = LocationUrl(plain, "192.0.2.10");
    EXPECT_EQ(location, "http://192.0.2.10:5000/rootDesc.xml");
    const std::string answer = BuildAnswer(plain, "upnp:rootdevice", location);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    for (const char* header : {"\r\nCACHE-CONTROL: max-age=1800\r\n", "\r\nEXT:\r\n",
                               "\r\nLocation: http://192.0.2.10:5000/rootDesc.xml\r\n",
                               "\r\nST: upnp:rootdevice\r\n", "\r\nSERVER: "})
        EXPECT_NE(answer.find(header), std::string::npos) << header;
    EXPECT_NE(answer.find("\r\nUSN: " + plain.udn + "::upnp:rootdevice\r\n"), std::string::npos);
    EXPECT_EQ(answer.substr(answer.size() - 4), "\r\n\r\n");

    const auto upper = Parsed({"--address", "192.0.2.10", "--location-upper"});
    EXPECT_NE(BuildNotify(upper, "upnp:rootdevice").find("\r\nLOCATION: http://192.0.2.10:80/"),
              std::string::npos);
    EXPECT_EQ(BuildNotify(upper, "upnp:rootdevice").find("Location"), std::string::npos);

    const auto tight = Parsed({"--address", "192.0.2.10", "--location-no-blank"});
    EXPECT_NE(BuildAnswer(tight, "upnp:rootdevice", location)
                  .find("\r\nLocation:http://192.0.2.10:5000/rootDesc.xml\r\n"),
              std::string::npos);
}

std::string Unchunked(const std::string& body) {
    std::string out;
    size_t at = 0;
    for (;;) {
        const size_t lineEnd = body.find("\r\n", at);
        const size_t size = std::stoul(body.substr(at, lineEnd - at), nullptr, 16);
        if (size == 0)
            return out;
        out += body.substr(lineEnd + 2, size);
        at = lineEnd + 2 + size + 2;
    }
}

TEST(Description, ServedWithEachFramingAndA404Elsewhere) {
    const std::string get = "GET /rootDesc.xml HTTP/1.1\r\nHost: 192.0.2.10\r\n\r\n";
    const auto options = Parsed(
        {"--address", "192.0.2.10", "--friendly-name", "A&B <lab>", "--model-name", "KT5520"});
    const std::string xml = BuildDescription(options);
    EXPECT_NE(xml.find("\r\n<friendlyName>A&amp;B &lt;lab&gt;</friendlyName>\r\n"),
              std::string::npos);
    // The root device's elements come before the embedded devices' ones.
    EXPECT_LT(xml.find("<modelName>KT5520</modelName>"), xml.find("<modelName>WAN Device"));
    EXPECT_LT(xml.find("<manufacturer>Korvane</manufacturer>"), xml.find("<deviceList>"));

    const std::string plain = BuildHttpResponse(options, get);
    const size_t split = plain.find("\r\n\r\n") + 4;
    EXPECT_NE(plain.find("Content-Length: " + std::to_string(xml.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(plain.substr(split), xml);

    auto chunkedOptions = options;
    chunkedOptions.body = DevsimOptions::Body::Chunked;
    const std::string chunked = BuildHttpResponse(chunkedOptions, get);
    EXPECT_NE(chunked.find("Transfer-Encoding: chunked\r\n"), std::string::npos);
    EXPECT_EQ(chunked.find("Content-Length"), std::string::npos);
    EXPECT_EQ(Unchunked(chunked.substr(chunked.find("\r\n\r\n") + 4)), xml);

    EXPECT_EQ(
        BuildHttpResponse(options, "GET /other.xml HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 404", 0), 0u);
    EXPECT_EQ(RequestPath("POST /rootDesc.xml HTTP/1.1\r\n\r\n"), "");
}

TEST(Options, RejectsWhatWouldMakeAMeaninglessDevice) {
    for (const std::vector<const char*>& args : std::vector<std::vector<const char*>>{
             {},
             {"--address", "192.0.2"},
             {"--address", "192.0.2.10", "--answers", "many"},
             {"--address", "192.0.2.10", "--http-port", "0"},
             {"--address", "192.0.2.10", "--notify", "maybe"},
             {"--address", "192.0.2.10", "--flood", "192.0.2.100"},
             {"--address", "192.0.2.10", "--flood", "x:3"},
             {"--address", "192.0.2.10", "--bogus"},
             {"--address", "192.0.2.10", "--media-server", "/m.xml"},
             {"--address", "192.0.2.10", "--media-server", "80"},
             {"--address", "192.0.2.10", "--media-server", "8200", "--media-order", "middle"},
             {"--address"}}) {
        std::vector<const char*> argv{"pathmere-devsim"};
        argv.insert(argv.end(), args.begin(), args.end());
        DevsimOptions options;
        std::string error;
        EXPECT_FALSE(ParseDevsimOptions(static_cast<int>(argv.size()), argv.data(), options, error))
            << argv.size();
        EXPECT_FALSE(error.empty());
    }
    const auto flood = Parsed({"--address", "192.0.2.30", "--flood", "192.0.2.100:20"});
    EXPECT_EQ(flood.floodFirst, "192.0.2.100");
    EXPECT_EQ(flood.floodCount, 20);
    // Distinct devices get distinct identities without being told.
    EXPECT_NE(Parsed({"--address", "192.0.2.10"}).udn, Parsed({"--address", "192.0.2.11"}).udn);
}

// A router's media server: same address, its own port or path, another maker and identity.
TEST(MediaServer, IsAnotherMakersDeviceAtTheSameAddress) {
    const auto router = Parsed({"--address", "192.0.2.10", "--http-port", "2189", "--media-server",
                                "8200", "--friendly-name", "Home"});
    EXPECT_EQ(router.mediaOrder, DevsimOptions::MediaOrder::First);
    const auto media = MediaServerOf(router);
    EXPECT_EQ(OwnLocationUrl(media), "http://192.0.2.10:8200/rootDesc.xml");
    EXPECT_EQ(OwnLocationUrl(router), "http://192.0.2.10:2189/rootDesc.xml");
    EXPECT_NE(media.udn, router.udn);
    const auto targets = TargetsFor(media, "ssdp:all");
    ASSERT_EQ(targets.size(), 5u);
    EXPECT_EQ(targets[2], "urn:schemas-upnp-org:device:MediaServer:1");
    EXPECT_TRUE(TargetsFor(media, "urn:schemas-upnp-org:device:InternetGatewayDevice:1").empty());
    const auto xml = BuildDescription(media);
    EXPECT_NE(xml.find("<deviceType>urn:schemas-upnp-org:device:MediaServer:1</deviceType>"),
              std::string::npos);
    EXPECT_NE(xml.find("<friendlyName>Home: media</friendlyName>"), std::string::npos);
    EXPECT_EQ(xml.find("Korvane"), std::string::npos);
    EXPECT_EQ(
        BuildHttpResponse(media, "GET /rootDesc.xml HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 200", 0),
        0u);

    // Or on the device's own port, at another path.
    const auto samePort = MediaServerOf(Parsed(
        {"--address", "192.0.2.11", "--media-server", "80/media.xml", "--media-order", "last"}));
    EXPECT_EQ(OwnLocationUrl(samePort), "http://192.0.2.11:80/media.xml");
}

struct OrderCase {
    const char* name;
    DevsimOptions::MediaOrder order;
    std::vector<TimedDatagram> expected;
};

class AnswerOrderTest : public testing::TestWithParam<OrderCase> {};

// Random delays must not mix the two groups: all of the first before any of the other.
TEST_P(AnswerOrderTest, OneGroupWhollyBeforeTheOther) {
    const std::vector<TimedDatagram> device{{300, "d1"}, {0, "d2"}, {900, "d3"}};
    const std::vector<TimedDatagram> media{{500, "m1"}, {100, "m2"}};
    const auto sent = InAnswerOrder(device, media, GetParam().order);
    ASSERT_EQ(sent.size(), GetParam().expected.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].datagram, GetParam().expected[i].datagram) << i;
        EXPECT_EQ(sent[i].delayMs, GetParam().expected[i].delayMs) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnswerOrderTest,
    testing::Values(OrderCase{"MediaFirst",
                              DevsimOptions::MediaOrder::First,
                              {{100, "m2"}, {500, "m1"}, {500, "d1"}, {500, "d2"}, {900, "d3"}}},
                    OrderCase{"MediaLast",
                              DevsimOptions::MediaOrder::Last,
                              {{0, "d2"}, {300, "d1"}, {900, "d3"}, {900, "m1"}, {900, "m2"}}}),
    [](const testing::TestParamInfo<OrderCase>& row) { return std::string(row.param.name); });

} // namespace
