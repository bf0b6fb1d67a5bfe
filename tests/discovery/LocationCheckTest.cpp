#include "discovery/LocationCheck.h"

#include "discovery/SearchAnswer.h"
#include "support/CaseName.h"

#include <gtest/gtest.h>
#include <set>

namespace {

struct Ipv4Case {
    const char* name;
    const char* text;
    bool valid;
};

class ParseIPv4Test : public ::testing::TestWithParam<Ipv4Case> {};

TEST_P(ParseIPv4Test, AcceptsOnlyTheDottedForm) {
    EXPECT_EQ(ParseIPv4(GetParam().text).has_value(), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseIPv4Test,
    ::testing::Values(
        Ipv4Case{"Plain", "192.0.2.1", true}, Ipv4Case{"Zeros", "0.0.0.0", true},
        Ipv4Case{"Largest", "255.255.255.255", true}, Ipv4Case{"GroupOver255", "256.1.1.1", false},
        Ipv4Case{"LeadingZero", "192.0.2.010", false}, Ipv4Case{"ThreeGroups", "127.1", false},
        Ipv4Case{"OneNumber", "2130706433", false}, Ipv4Case{"Hex", "0x7f.0.0.1", false},
        Ipv4Case{"FiveGroups", "1.2.3.4.5", false}, Ipv4Case{"TrailingDot", "1.2.3.4.", false},
        Ipv4Case{"EmptyGroup", "1..3.4", false}, Ipv4Case{"Sign", "+1.2.3.4", false},
        Ipv4Case{"Blank", "1.2.3.4 ", false}, Ipv4Case{"FourDigits", "1234.1.1.1", false},
        Ipv4Case{"Empty", "", false}),
    CaseName());

TEST(ParseIPv4Test, GivesTheAddressAndNetworks) {
    EXPECT_EQ(ParseIPv4("192.0.2.1"), 0xc0000201u);
    const auto network = ParseIPv4Network("192.0.2.7/24");
    ASSERT_TRUE(network.has_value());
    EXPECT_EQ(network->mask, 0xffffff00u);
    EXPECT_TRUE(network->Holds(0xc00002feu));
    EXPECT_FALSE(network->Holds(0xc0000301u));
    EXPECT_TRUE(network->IsBroadcast(0xc00002ffu));
    // A /31 has no broadcast address: both its addresses are hosts.
    EXPECT_FALSE(ParseIPv4Network("192.0.2.254/31")->IsBroadcast(0xc00002ffu));
    EXPECT_FALSE(ParseIPv4Network("192.0.2.0/33").has_value());
    EXPECT_FALSE(ParseIPv4Network("192.0.2.0").has_value());
}

struct CheckCase {
    const char* name;
    const char* url;
    const char* sender;
    LocationRefusal refusal;
};

class CheckLocationTest : public ::testing::TestWithParam<CheckCase> {};

// Searched from 192.0.2.1/24 and 10.1.0.1/16.
TEST_P(CheckLocationTest, FetchesOnlyWhatCanBeTheDevice) {
    const std::vector<Ipv4Network> networks{*ParseIPv4Network("192.0.2.1/24"),
                                            *ParseIPv4Network("10.1.0.1/16")};
    const std::string url = GetParam().url;
    EXPECT_EQ(CheckLocation(url, LocationHost(url), GetParam().sender, networks),
              GetParam().refusal);
}

constexpr auto kNone = LocationRefusal::None;
constexpr auto kNotIPv4 = LocationRefusal::NotIPv4;
constexpr auto kOutside = LocationRefusal::OutsideNetwork;
constexpr auto kLoopback = LocationRefusal::Loopback;
constexpr auto kMulticast = LocationRefusal::Multicast;
constexpr auto kBroadcast = LocationRefusal::Broadcast;

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckLocationTest,
    ::testing::Values(
        CheckCase{"OnTheNetwork", "http://192.0.2.10:80/d.xml", "192.0.2.10", kNone},
        CheckCase{"AnotherDeviceOnTheNetwork", "http://192.0.2.11/d.xml", "192.0.2.10", kNone},
        CheckCase{"SecondSearchedNetwork", "http://10.1.200.3:5000/d.xml", "10.1.200.3", kNone},
        CheckCase{"NoScheme", "192.0.2.10:5000/desc.xml", "192.0.2.10", kNone},
        CheckCase{"SendersOwnAddressElsewhere", "http://203.0.113.5/d.xml", "203.0.113.5", kNone},
        CheckCase{"PublicAddress", "http://198.51.100.7/d.xml", "192.0.2.10", kOutside},
        CheckCase{"NeighbouringNetwork", "http://192.0.3.10/d.xml", "192.0.2.10", kOutside},
        CheckCase{"ClientsLoopback", "http://127.0.0.1:8631/desc.xml", "192.0.2.10", kLoopback},
        CheckCase{"LoopbackFromLoopback", "http://127.0.0.1:8631/d.xml", "127.0.0.1", kLoopback},
        CheckCase{"AnyLoopback", "http://127.8.9.10/d.xml", "192.0.2.10", kLoopback},
        CheckCase{"Unspecified", "http://0.0.0.0:80/d.xml", "192.0.2.10",
                  LocationRefusal::Unspecified},
        CheckCase{"SsdpGroup", "http://239.255.255.250:1900/d.xml", "192.0.2.10", kMulticast},
        CheckCase{"AllHostsGroup", "http://224.0.0.1/d.xml", "224.0.0.1", kMulticast},
        CheckCase{"LimitedBroadcast", "http://255.255.255.255/d.xml", "192.0.2.10", kBroadcast},
        CheckCase{"SubnetBroadcast", "http://192.0.2.255/d.xml", "192.0.2.255", kBroadcast},
        CheckCase{"SecondSubnetBroadcast", "http://10.1.255.255/d.xml", "192.0.2.10", kBroadcast},
        CheckCase{"Name", "http://router.lan/d.xml", "192.0.2.10", kNotIPv4},
        CheckCase{"IPv6", "http://[fe80::1]:5000/d.xml", "192.0.2.10", kNotIPv4},
        // Forms libcurl reads as an address of its own choosing.
        CheckCase{"OneNumber", "http://2130706433/d.xml", "192.0.2.10", kNotIPv4},
        CheckCase{"ShortForm", "http://127.1/d.xml", "192.0.2.10", kNotIPv4},
        CheckCase{"LeadingZeroIsOctal", "http://192.0.2.010/d.xml", "192.0.2.8", kNotIPv4},
        CheckCase{"Hex", "http://0x7f.0.0.1/d.xml", "192.0.2.10", kNotIPv4},
        CheckCase{"PercentEncoded", "http://192.0.2.%31%30/d.xml", "192.0.2.10", kNotIPv4},
        CheckCase{"TrailingDot", "http://192.0.2.10./d.xml", "192.0.2.10", kNotIPv4},
        CheckCase{"SingleSlash", "http:/198.51.100.7/d.xml", "192.0.2.10", kNotIPv4},
        CheckCase{"NoSlash", "192.0.2.10", "192.0.2.10", kNotIPv4},
        // The host is what follows the user part, for this check as for libcurl.
        CheckCase{"UserPartLooksLikeTheDevice", "http://192.0.2.10:80@127.0.0.1/d.xml",
                  "192.0.2.10", kLoopback},
        CheckCase{"EncodedSlashInUserPart", "http://192.0.2.10%2f@198.51.100.7/d.xml", "192.0.2.10",
                  kOutside},
        CheckCase{"TwoUserParts", "http://a@198.51.100.7@192.0.2.10/d.xml", "192.0.2.10",
                  kNotIPv4}),
    CaseName());

// Tests serve their descriptions on loopback and say so by searching a loopback network.
TEST(CheckLocationTest, LoopbackOnASearchedNetworkIsFetched) {
    const std::vector<Ipv4Network> loopback{*ParseIPv4Network("127.0.0.0/8")};
    EXPECT_EQ(CheckLocation("http://127.0.0.2:8080/d.xml", "127.0.0.2", "127.0.0.1", loopback),
              kNone);
    EXPECT_EQ(
        CheckLocation("http://127.255.255.255/d.xml", "127.255.255.255", "127.0.0.1", loopback),
        kBroadcast);
}

TEST(CheckLocationTest, EveryRefusalHasATextOfItsOwn) {
    std::set<std::string_view> texts;
    for (const auto refusal :
         {kNotIPv4, LocationRefusal::Unspecified, kLoopback, kMulticast, kBroadcast, kOutside}) {
        EXPECT_TRUE(RefusalText(refusal).starts_with("names ")) << RefusalText(refusal);
        texts.insert(RefusalText(refusal));
    }
    EXPECT_EQ(texts.size(), 6u);
    EXPECT_TRUE(RefusalText(kNone).empty());
    EXPECT_EQ(RefusalText(kOutside), "names an address outside this network");
}

} // namespace
