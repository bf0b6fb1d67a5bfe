#include "discovery/SearchAnswer.h"

#include "support/CaseName.h"

#include <gtest/gtest.h>

namespace {

TEST(SearchRequestTest, IsTheNinetyFiveBytesOfTheSsdpSearch) {
    EXPECT_EQ(kSearchRequest.size(), 95u);
    EXPECT_EQ(SplitTextToLines(kSearchRequest),
              (TextLines{"M-SEARCH * HTTP/1.1", "MX: 10", "ST: ssdp:all",
                         "HOST: 239.255.255.250:1900", "MAN: \"ssdp:discover\"", ""}));
    EXPECT_EQ(kSearchRequest.substr(kSearchRequest.size() - 4), "\r\n\r\n");
    EXPECT_EQ(kSearchRequest.find('\0'), std::string_view::npos);
}

// The streaming request differs only in asking for answers within a second.
TEST(SearchRequestTest, TheStreamingRequestAsksForQuickAnswersAndIsOtherwiseTheSame) {
    EXPECT_EQ(kStreamingSearchRequest.size(), 94u);
    auto lines = SplitTextToLines(kSearchRequest);
    ASSERT_EQ(lines[1], "MX: 10");
    lines[1] = "MX: 1";
    EXPECT_EQ(SplitTextToLines(kStreamingSearchRequest), lines);
    EXPECT_EQ(kStreamingSearchRequest.substr(kStreamingSearchRequest.size() - 4), "\r\n\r\n");
}

struct AddressCase {
    const char* name;
    const char* text;
    bool ipv4Text;
    bool searched;
};

class AddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressTest, ChecksTheTextAndThePrefixes) {
    EXPECT_EQ(IsIPv4Text(GetParam().text), GetParam().ipv4Text);
    EXPECT_EQ(IsSearchedAddress(GetParam().text), GetParam().searched);
    EXPECT_EQ(WhyNotSearched(GetParam().text).empty(), GetParam().searched);
}

TEST(WhyNotSearched, NamesTheReason) {
    EXPECT_EQ(WhyNotSearched("127.0.0.1"), "loopback");
    EXPECT_EQ(WhyNotSearched("169.254.10.20"), "link-local");
    EXPECT_EQ(WhyNotSearched("fe80::1"), "IPv6");
    EXPECT_EQ(WhyNotSearched("router.local"), "not an IPv4 address");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddressTest,
    ::testing::Values(AddressCase{"Plain", "192.0.2.10", true, true},
                      AddressCase{"Wildcard", "0.0.0.0", true, true},
                      AddressCase{"Largest", "255.255.255.255", true, true},
                      AddressCase{"LeadingZeros", "001.002.003.004", true, true},
                      AddressCase{"FiveGroups", "1.2.3.4.5", true, true},
                      AddressCase{"FinalDot", "10.0.0.1.", true, true},
                      AddressCase{"LongLastGroup", "1.2.3.0255", true, true},
                      AddressCase{"Loopback", "127.0.0.1", true, false},
                      AddressCase{"LinkLocal", "169.254.10.20", true, false},
                      AddressCase{"OnlyPrefixCounts", "16.9.0.1", true, true},
                      AddressCase{"GroupOver255", "256.1.1.1", false, false},
                      AddressCase{"LastGroupOver255", "1.2.3.256", false, false},
                      AddressCase{"TwoDotsInARow", "1..2.3.4", false, false},
                      AddressCase{"LeadingDot", ".1.2.3.4", false, false},
                      AddressCase{"FourDigitsBeforeDot", "0000.1.1.1", false, false},
                      AddressCase{"TooShort", "1.2.3", false, false},
                      AddressCase{"TooLong", "100.100.100.1000", false, false},
                      AddressCase{"IPv6", "fe80::1", false, false},
                      AddressCase{"Blank", "1.2.3.4 ", false, false},
                      AddressCase{"Sign", "1.2.3.-4", false, false},
                      AddressCase{"Empty", "", false, false}),
    CaseName());

struct HostCase {
    const char* name;
    const char* url;
    const char* host;
};

class LocationHostTest : public ::testing::TestWithParam<HostCase> {};

TEST_P(LocationHostTest, IsTheHostPartOnly) {
    EXPECT_EQ(LocationHost(GetParam().url), GetParam().host);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocationHostTest,
    ::testing::Values(HostCase{"Port80", "http://192.0.2.10:80/desc.xml", "192.0.2.10"},
                      HostCase{"NoPort", "http://192.0.2.10/desc.xml", "192.0.2.10"},
                      HostCase{"DotInPathAfterPort", "http://192.0.2.10:5000/a.b/desc.xml",
                               "192.0.2.10"},
                      HostCase{"NoPath", "http://192.0.2.10:5000", "192.0.2.10"},
                      HostCase{"Query", "http://192.0.2.10?x=1:2", "192.0.2.10"},
                      HostCase{"UserInfo", "http://admin:pw@192.0.2.10:8080/d.xml", "192.0.2.10"},
                      HostCase{"IPv6", "http://[fe80::1]:5000/d.xml", "[fe80::1]"},
                      HostCase{"Name", "HTTP://router.lan/d.xml", "router.lan"},
                      HostCase{"NoScheme", "192.0.2.10:5000/desc.xml", "192.0.2.10"},
                      HostCase{"NoSlash", "192.0.2.10:5000", ""}),
    CaseName());

struct Datagram {
    std::string text;
    std::string sender = "192.0.2.1";
};

using HostAndUrl = std::pair<std::string, std::string>;

struct ParseCase {
    const char* name;
    std::vector<Datagram> datagrams;
    std::vector<HostAndUrl> locations;
};

class ParseSearchAnswerTest : public ::testing::TestWithParam<ParseCase> {};

std::vector<HostAndUrl> Parse(const std::vector<Datagram>& datagrams) {
    LocationList list;
    LocationCollector collector(list);
    for (const auto& datagram : datagrams) {
        ParseSearchAnswer(collector, SplitTextToLines(TrimControl(datagram.text)), datagram.sender);
    }
    std::vector<HostAndUrl> locations;
    for (const auto& entry : list) {
        locations.emplace_back(entry->host, entry->url);
    }
    return locations;
}

TEST_P(ParseSearchAnswerTest, AddsOneEntryPerNewDescriptionAddress) {
    EXPECT_EQ(Parse(GetParam().datagrams), GetParam().locations);
}

const char* const kUrl = "http://192.0.2.10:5000/desc.xml";

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseSearchAnswerTest,
    ::testing::Values(
        ParseCase{"Answer",
                  {{"HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\nLOCATION: " + std::string(kUrl) +
                    "\r\n\r\n"}},
                  {{"192.0.2.10", kUrl}}},
        // A legal header form: no blank after the colon.
        ParseCase{"NoBlankAfterTheColon",
                  {{"HTTP/1.1 200 OK\r\nLOCATION:http://192.0.2.10/d.xml\r\n"}},
                  {{"192.0.2.10", "http://192.0.2.10/d.xml"}}},
        ParseCase{"Announcement",
                  {{"NOTIFY * HTTP/1.1\r\nLocation: http://192.0.2.10/d.xml\r\n"}},
                  {{"192.0.2.10", "http://192.0.2.10/d.xml"}}},
        ParseCase{"SearchRequestIgnored",
                  {{"M-SEARCH * HTTP/1.1\r\nLOCATION: http://192.0.2.10/d.xml\r\n"}},
                  {}},
        ParseCase{"LowerCaseSearchRequestIgnored",
                  {{"m-search * HTTP/1.1\r\nLOCATION: http://192.0.2.10/d.xml\r\n"}},
                  {}},
        ParseCase{"LowerCaseHeaderNotRecognised",
                  {{"HTTP/1.1 200 OK\r\nlocation: http://192.0.2.10/d.xml\r\n"}},
                  {}},
        ParseCase{"MixedCaseHeaderNotRecognised",
                  {{"HTTP/1.1 200 OK\r\nLoCaTiOn: http://192.0.2.10/d.xml\r\n"}},
                  {}},
        ParseCase{"NoLocationLine", {{"HTTP/1.1 200 OK\r\nST: ssdp:all\r\n"}}, {}},
        ParseCase{"EmptyDatagram", {{""}}, {}},
        ParseCase{"FirstOfTwoLocationLines",
                  {{"HTTP/1.1 200 OK\r\nLOCATION: http://192.0.2.10/1.xml\r\nLocation: "
                    "http://192.0.2.11/2.xml\r\n"}},
                  {{"192.0.2.10", "http://192.0.2.10/1.xml"}}},
        // A gateway and a media server on one router: both descriptions are read.
        ParseCase{"SameHostOtherPortsAndPathsEachKept",
                  {{"LOCATION: http://192.0.2.10:2189/rootDesc.xml"},
                   {"LOCATION: http://192.0.2.10:8200/rootDesc.xml"},
                   {"LOCATION: http://192.0.2.10:2189/wps.xml"}},
                  {{"192.0.2.10", "http://192.0.2.10:2189/rootDesc.xml"},
                   {"192.0.2.10", "http://192.0.2.10:8200/rootDesc.xml"},
                   {"192.0.2.10", "http://192.0.2.10:2189/wps.xml"}}},
        // One answer per device and service type, all naming one address.
        ParseCase{"SameUrlFromManyAnswersOnce",
                  {{"HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\nLOCATION: " + std::string(kUrl)},
                   {"HTTP/1.1 200 OK\r\nST: ssdp:all\r\nLOCATION: " + std::string(kUrl)},
                   {"NOTIFY * HTTP/1.1\r\nLOCATION: " + std::string(kUrl), "192.0.2.99"}},
                  {{"192.0.2.10", kUrl}}},
        ParseCase{"UrlsCompareExactly",
                  {{"LOCATION: http://Router/a.xml"}, {"LOCATION: http://router/a.xml"},
                   {"LOCATION: http://router/a.xml"}},
                  {{"Router", "http://Router/a.xml"}, {"router", "http://router/a.xml"}}},
        ParseCase{"NoSlashGivesAnEmptyHost",
                  {{"LOCATION: 192.0.2.10"}, {"LOCATION: 192.0.2.10"}},
                  {{"", "192.0.2.10"}}},
        ParseCase{"UrlTrimmed",
                  {{"HTTP/1.1 200 OK\r\nLOCATION: \t http://192.0.2.10/a.b/d.xml \t\r\nEXT:"}},
                  {{"192.0.2.10", "http://192.0.2.10/a.b/d.xml"}}}),
    CaseName());

std::string LocationOf(int host) {
    return "LOCATION: http://10.0." + std::to_string(host / 256) + "." +
           std::to_string(host % 256) + "/d.xml";
}

TEST(ParseSearchAnswerLimitTest, OneSenderNamesAtMostEightAddresses) {
    std::vector<Datagram> datagrams;
    for (int host = 0; host < 12; ++host) {
        datagrams.push_back({LocationOf(host), "192.0.2.66"});
    }
    datagrams.push_back({LocationOf(0), "192.0.2.66"}); // known addresses cost nothing
    datagrams.push_back({LocationOf(100), "192.0.2.67"});
    const auto locations = Parse(datagrams);
    ASSERT_EQ(locations.size(), 9u);
    EXPECT_EQ(locations[7].first, "10.0.0.7");
    EXPECT_EQ(locations[8].first, "10.0.0.100");
}

// Ports and paths of its own address count as much as invented hosts.
TEST(ParseSearchAnswerLimitTest, OneSenderNamesAtMostEightAddressesOfItsOwnHost) {
    std::vector<Datagram> datagrams;
    for (int port = 1; port <= 12; ++port) {
        datagrams.push_back(
            {"LOCATION: http://192.0.2.66:" + std::to_string(port) + "/d.xml", "192.0.2.66"});
    }
    datagrams.push_back({"LOCATION: http://192.0.2.66:5000/d.xml", "192.0.2.67"});
    const auto locations = Parse(datagrams);
    ASSERT_EQ(locations.size(), 9u);
    EXPECT_EQ(locations[7].second, "http://192.0.2.66:8/d.xml");
    EXPECT_EQ(locations[8].second, "http://192.0.2.66:5000/d.xml");
}

// Whether a location may be fetched is decided once, when it is first heard, from the address
// that named it; refused ones are kept in order, to be reported.
TEST(ParseSearchAnswerTest, RecordsWhetherEachLocationMayBeFetched) {
    LocationList list;
    LocationCollector collector(list);
    collector.networks = {*ParseIPv4Network("192.0.2.1/24")};
    for (const auto& [url, sender] : std::vector<std::pair<std::string, std::string>>{
             {"http://192.0.2.10:2189/d.xml", "192.0.2.10"},
             {"http://127.0.0.1:8631/d.xml", "192.0.2.10"},
             {"http://198.51.100.7/d.xml", "192.0.2.11"},
             {"http://198.51.100.7/d.xml", "198.51.100.7"},
             {"http://203.0.113.9/d.xml", "203.0.113.9"}}) {
        ParseSearchAnswer(collector, {"HTTP/1.1 200 OK", "LOCATION: " + url}, sender);
    }
    std::vector<LocationRefusal> refusals;
    for (const auto& entry : list) {
        refusals.push_back(entry->refusal);
    }
    EXPECT_EQ(refusals, (std::vector<LocationRefusal>{
                            LocationRefusal::None, LocationRefusal::Loopback,
                            LocationRefusal::OutsideNetwork, LocationRefusal::None}));
}

TEST(ParseSearchAnswerLimitTest, TheListHoldsAtMost256Addresses) {
    std::vector<Datagram> datagrams;
    for (int host = 0; host < 300; ++host) {
        datagrams.push_back({LocationOf(host), "192.0.3." + std::to_string(host % 250)});
    }
    const auto locations = Parse(datagrams);
    ASSERT_EQ(locations.size(), 256u);
    EXPECT_EQ(locations.back().first, "10.0.0.255");
}

} // namespace
