// What a search saw, turned into findings: one row per case, from recorded evidence.
#include "discovery/Diagnosis.h"

#include "support/CaseName.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <ostream>

namespace {

AddressReport Searched(std::string address, int answers, int announcements) {
    return AddressReport{std::move(address), {}, answers, announcements};
}

DescriptionReport Seen(std::string sender, std::string failure = {}) {
    DescriptionReport report;
    report.host = sender;
    report.url = "http://" + sender + "/d.xml";
    report.sender = std::move(sender);
    report.rejection = failure.empty() ? Rejection::OtherMaker : Rejection::Unreadable;
    report.failure = std::move(failure);
    report.manufacturer = "Acme";
    report.modelName = "AC1200";
    return report;
}

DescriptionReport Listed(std::string sender) {
    DescriptionReport report = Seen(std::move(sender));
    report.rejection = Rejection::None;
    report.device = std::make_shared<Korvane::DeviceProperty>();
    return report;
}

const std::vector<Ipv4Network> kLan{*ParseIPv4Network("192.0.2.0/24")};

struct DiagnosisCase {
    const char* name;
    SearchEvidence evidence;
    // Each finding as kind, address and the fact that matters most for it.
    std::vector<std::tuple<FindingKind, std::string, std::string>> expected;
};

void PrintTo(const DiagnosisCase& row, std::ostream* out) {
    *out << row.name;
}

std::string KeyFact(const Finding& finding) {
    switch (finding.kind) {
    case FindingKind::NoAnswer:
        return finding.network + " " + std::to_string(finding.announcements);
    case FindingKind::OtherNetwork:
        return finding.network;
    case FindingKind::OtherAddress:
        return finding.host;
    case FindingKind::ForeignDevicesOnly: {
        std::string named = std::to_string(finding.deviceCount);
        for (const auto& device : finding.devices)
            named += " " + device.address + "=" + device.manufacturer + "/" + device.modelName;
        return named;
    }
    default:
        return finding.reason;
    }
}

class DiagnosisTest : public ::testing::TestWithParam<DiagnosisCase> {};

TEST_P(DiagnosisTest, GivesTheFindingsInTheOrderToActOnThem) {
    const auto findings = Diagnose(GetParam().evidence);
    std::vector<std::tuple<FindingKind, std::string, std::string>> got;
    for (const auto& finding : findings) {
        got.emplace_back(finding.kind, finding.address, KeyFact(finding));
    }
    EXPECT_EQ(got, GetParam().expected);
}

DescriptionReport Refused() {
    DescriptionReport report = Seen("192.0.2.30", "names a loopback address");
    report.url = "http://127.0.0.1/d.xml";
    report.host = "127.0.0.1";
    report.rejection = Rejection::NotFetched;
    report.refusal = LocationRefusal::Loopback;
    return report;
}

DescriptionReport NamingAnotherHost() {
    DescriptionReport report = Listed("192.0.2.40");
    report.host = "192.0.2.99";
    return report;
}

using K = FindingKind;

INSTANTIATE_TEST_SUITE_P(
    Cases, DiagnosisTest,
    ::testing::Values(
        DiagnosisCase{"AHealthyNetworkNeedsNothing",
                      {{Searched("192.0.2.1", 4, 2), {"fe80::1", "IPv6", 0, 0}},
                       {Listed("192.0.2.10"), Seen("192.0.2.20")},
                       kLan},
                      {}},
        DiagnosisCase{"OnlyTheFallbackAddressIsNotConnected",
                      {{Searched("0.0.0.0", 0, 3)}, {}, {}},
                      {{K::NotConnected, "", ""}}},
        DiagnosisCase{"OnlySkippedAddressesIsNotConnected",
                      {{{"127.0.0.1", "loopback", 0, 0}}, {}, {}},
                      {{K::NotConnected, "", ""}}},
        DiagnosisCase{"AStoppedRunIsNotConnected", {}, {{K::NotConnected, "", ""}}},
        DiagnosisCase{"SilenceOnAnAddress",
                      {{Searched("192.0.2.1", 0, 0)}, {}, kLan},
                      {{K::NoAnswer, "192.0.2.1", "192.0.2.0/24 0"}}},
        // The firewall that drops the answers lets the group in: the announcers are listed,
        // the address is still named.
        DiagnosisCase{"NoAnswerButAnnouncements",
                      {{Searched("192.0.2.1", 0, 5), Searched("198.51.100.7", 2, 0)},
                       {Listed("192.0.2.10")},
                       kLan},
                      {{K::NoAnswer, "192.0.2.1", "192.0.2.0/24 5"}}},
        // Answers on one address: no firewall drops them, so another address's silence is
        // said after what the answers tell.
        DiagnosisCase{"ASilentAdapterBesideAnAnsweredNetworkComesLast",
                      {{Searched("172.17.0.1", 0, 0), Searched("192.0.2.1", 2, 0)},
                       {Seen("192.0.2.20")},
                       kLan},
                      {{K::ForeignDevicesOnly, "", "1 192.0.2.20=Acme/AC1200"},
                       {K::NoAnswer, "172.17.0.1", "172.17.0.0/24 0"}}},
        DiagnosisCase{"AnUnknownNetworkIsTakenToBeA24",
                      {{Searched("192.0.2.1", 0, 0)}, {}, {}},
                      {{K::NoAnswer, "192.0.2.1", "192.0.2.0/24 0"}}},
        DiagnosisCase{
            "OnlyForeignDevicesAnswered",
            {{Searched("192.0.2.1", 4, 0)},
             {Seen("192.0.2.20"), Seen("192.0.2.21"), Seen("192.0.2.22"), Seen("192.0.2.23")},
             kLan},
            {{K::ForeignDevicesOnly, "",
              "4 192.0.2.20=Acme/AC1200 192.0.2.21=Acme/AC1200 192.0.2.22=Acme/AC1200"}}},
        DiagnosisCase{
            "ForeignDevicesBesideAListedOneNeedNothing",
            {{Searched("192.0.2.1", 2, 0)}, {Seen("192.0.2.20"), Listed("192.0.2.10")}, kLan},
            {}},
        DiagnosisCase{"DescriptionsUnreadableRefusedOrElsewhere",
                      {{Searched("192.0.2.1", 3, 0)},
                       {Seen("192.0.2.30", "connection refused"), Refused(), NamingAnotherHost()},
                       kLan},
                      {{K::DescriptionUnreadable, "192.0.2.30", "connection refused"},
                       {K::DescriptionRefused, "192.0.2.30", "names a loopback address"},
                       {K::OtherAddress, "192.0.2.40", "192.0.2.99"}}},
        // A router whose address was changed answers nothing (it has no way back) but
        // announces itself: said first, before the firewall.
        DiagnosisCase{
            "ADeviceInAnotherNetworkOnTheLink",
            {{Searched("192.0.2.1", 0, 2)}, {Seen("192.168.7.1", "network is unreachable")}, kLan},
            {{K::OtherNetwork, "192.168.7.1", "192.168.7.0/24"},
             {K::NoAnswer, "192.0.2.1", "192.0.2.0/24 2"}}},
        // Without the local networks nothing tells another network from this one.
        DiagnosisCase{"NoOtherNetworkWithoutTheLocalOnes",
                      {{Searched("192.0.2.1", 1, 0)}, {Seen("192.168.7.1", "timed out")}, {}},
                      {{K::DescriptionUnreadable, "192.168.7.1", "timed out"}}}),
    CaseName{});

TEST(DiagnosisTest, TheFirewallFoundIsPassedOnWithTheSilentAddress) {
    const auto findings =
        Diagnose({{Searched("192.0.2.1", 0, 0)}, {}, kLan, LocalFirewall::Firewalld});
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].firewall, LocalFirewall::Firewalld);
}

// ufw's configuration file as it is written, and as a hand may have changed it.
TEST(DiagnosisTest, UfwIsNamedOnlyWhenItsFileSaysItIsEnabled) {
    const auto root = std::filesystem::path(::testing::TempDir()) / "ufw-root";
    std::filesystem::create_directories(root / "etc/ufw");
    const std::vector<std::pair<const char*, LocalFirewall>> files{
        {"# /etc/ufw/ufw.conf\nENABLED=yes\nLOGLEVEL=low\n", LocalFirewall::Ufw},
        {"ENABLED=no\n", LocalFirewall::Unknown},
        {"ENABLED=\"yes\"\r\n", LocalFirewall::Ufw},
        {"#ENABLED=yes\nENABLED=no\n", LocalFirewall::Unknown},
        {"ENABLED=yesterday\n", LocalFirewall::Unknown},
    };
    for (const auto& [text, expected] : files) {
        std::ofstream(root / "etc/ufw/ufw.conf") << text;
        EXPECT_EQ(DetectLocalFirewall(root.string()), expected) << text;
    }
    std::filesystem::remove_all(root);
    EXPECT_EQ(DetectLocalFirewall(root.string()), LocalFirewall::Unknown);
}

// firewalld is told by its process-id file, and only while that process is firewalld.
TEST(DiagnosisTest, FirewalldIsNamedWhileItsProcessRuns) {
    const auto root = std::filesystem::path(::testing::TempDir()) / "firewalld-root";
    std::filesystem::create_directories(root / "run");
    std::filesystem::create_directories(root / "proc/4242");
    std::ofstream(root / "run/firewalld.pid") << "4242\n";
    const std::vector<std::pair<std::string, LocalFirewall>> commands{
        {std::string("/usr/bin/python3\0/usr/sbin/firewalld\0--nofork\0", 46),
         LocalFirewall::Firewalld},
        {std::string("/usr/bin/vim\0", 13), LocalFirewall::Unknown}, // a reused id
    };
    for (const auto& [command, expected] : commands) {
        std::ofstream(root / "proc/4242/cmdline") << command;
        EXPECT_EQ(DetectLocalFirewall(root.string()), expected);
    }
    std::filesystem::remove_all(root / "proc");
    EXPECT_EQ(DetectLocalFirewall(root.string()), LocalFirewall::Unknown) << "a stale file";
    // ufw's own answer comes first.
    std::filesystem::create_directories(root / "etc/ufw");
    std::ofstream(root / "etc/ufw/ufw.conf") << "ENABLED=yes\n";
    EXPECT_EQ(DetectLocalFirewall(root.string()), LocalFirewall::Ufw);
    std::filesystem::remove_all(root);
}

} // namespace
