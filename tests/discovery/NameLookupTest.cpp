#include "discovery/transport/NameLookup.h"

#include "support/FakeDevice.h"
#include "support/PrivateNetwork.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

TEST(NameLookupTest, NumericNamesResolveToThemselves) {
    TextLines lines{"stale"};
    ResolveNameToIP("127.0.0.1", lines);
    EXPECT_EQ(lines, TextLines{"127.0.0.1"});
    ResolveNameToIP("::1", lines);
    EXPECT_EQ(lines, TextLines{"::1"});
}

TEST(NameLookupTest, LocalNameIsNeverEmpty) {
    EXPECT_FALSE(LocalName().empty());
}

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Interfaces are only ever added inside the test's own network namespace.
TEST(NameLookupTest, TheLocalNameGivesRunningInterfacesWithoutLoopback) {
    if (!InPrivateNetwork()) {
        SKIP_OUTSIDE_CI("needs the test's own network namespace");
    }
    TextLines lines;
    ResolveNameToIP(LocalName(), lines);
    EXPECT_EQ(lines, TextLines{"0.0.0.0"}); // only loopback so far

    if (!Shell("ip link add pmtest0 type veth peer name pmtest1")) {
        SKIP_OUTSIDE_CI("cannot create a veth pair");
    }
    ASSERT_TRUE(Shell("ip addr add 192.0.2.7/24 dev pmtest0"));
    ASSERT_TRUE(Shell("ip addr add 192.0.2.8/24 dev pmtest1"));
    ASSERT_TRUE(Shell("ip addr add 198.51.100.9/24 dev pmtest0"));
    ASSERT_TRUE(Shell("ip link set pmtest0 up"));
    ResolveNameToIP(LocalName(), lines);
    EXPECT_EQ(lines, TextLines{"0.0.0.0"}) << "up without a carrier is not running";

    ASSERT_TRUE(Shell("ip link set pmtest1 up"));
    ASSERT_TRUE(WaitUntil([] { return LocalInterfaceAddresses().size() >= 3; }, 5000));
    ResolveNameToIP(LocalName(), lines);
    ASSERT_GE(lines.size(), 3u);
    // IPv4 first, an interface's addresses in the order they were given.
    auto ipv4 = TextLines(lines.begin(), lines.begin() + 3);
    const auto second = std::find(ipv4.begin(), ipv4.end(), "198.51.100.9");
    ASSERT_NE(second, ipv4.begin());
    EXPECT_EQ(*(second - 1), "192.0.2.7");
    std::sort(ipv4.begin(), ipv4.end());
    EXPECT_EQ(ipv4, (TextLines{"192.0.2.7", "192.0.2.8", "198.51.100.9"}));
    for (const auto& address : lines) {
        EXPECT_NE(address.rfind("127.", 0), 0u) << address;
        EXPECT_NE(address, "::1");
    }
    Shell("ip link del pmtest0");
}

} // namespace
