#include "ScanOutput.h"

#include "Diagnosis.h"
#include "ScanJson.h"
#include "ScanOptions.h"
#include "TextColumns.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

TEST(TextTable, AlignsByCharactersAndCutsWithAnEllipsis) {
    const TextTable table({4, 3});
    EXPECT_EQ(table.Line({"ab", "x", "last column is never cut"}),
              "ab    x    last column is never cut");
    // Two characters of two bytes each take two columns.
    EXPECT_EQ(table.Line({"\xC3\xA9\xC3\xA9", "x", ""}), "\xC3\xA9\xC3\xA9    x    ");
    EXPECT_EQ(table.Line({"abcdef", "x", ""}), "abc\xE2\x80\xA6  x    ");
}

// A long name and a long description address still fit 80 columns: the name gives way, the
// address is cut; a table that fits keeps every address whole.
TEST(TextTable, FitsAnEightyColumnTerminal) {
    const std::vector<std::vector<std::string>> rows{
        {"192.0.2.100", std::string(60, 'n'), "KT-6610 rev B", "SN0123456789",
         "http://192.0.2.100:49152/a/long/path/to/the/rootDesc.xml"},
        {"192.0.2.7", "Short", "1", "2", "http://192.0.2.7/d.xml"}};
    const auto table = TextTable::Fitting(rows, false);
    for (const auto& row : rows) {
        EXPECT_LE(TextWidth(table.Line(row)), 80u) << table.Line(row);
    }
    EXPECT_EQ(table.Line(rows[0]).rfind("192.0.2.100  " + std::string(18, 'n') + "\xE2\x80\xA6", 0),
              0u)
        << table.Line(rows[0]);
    EXPECT_NE(table.Line(rows[0]).find("  http://192.0.2.\xE2\x80\xA6"), std::string::npos);
    const std::vector<std::vector<std::string>> small{rows[1]};
    EXPECT_EQ(TextTable::Fitting(small, false).Line(small[0]),
              "192.0.2.7  Short          1             2              http://192.0.2.7/d.xml");
    // Streamed rows are not known in advance: the same 80 columns, set beforehand.
    EXPECT_EQ(TextWidth(TextTable::ForStream(false).Line(rows[0])), 80u);
}

struct CsvCase {
    const char* name;
    std::vector<std::string> fields;
    std::string line;
};

class CsvTest : public testing::TestWithParam<CsvCase> {};

TEST_P(CsvTest, QuotesAsRfc4180Asks) {
    EXPECT_EQ(CsvLine(GetParam().fields), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CsvTest,
    testing::Values(CsvCase{"Plain", {"192.0.2.10", "Office"}, "192.0.2.10,Office"},
                    CsvCase{"Comma", {"a,b", "c"}, "\"a,b\",c"},
                    CsvCase{"Quote", {"say \"hi\""}, "\"say \"\"hi\"\"\""},
                    CsvCase{"LineBreak", {"a\r\nb"}, "\"a\r\nb\""},
                    CsvCase{"EmptyFields", {"", "", ""}, ",,"}),
    [](const testing::TestParamInfo<CsvCase>& row) { return std::string(row.param.name); });

DescriptionReport Read(std::string host, std::string sender, std::string failure = {}) {
    DescriptionReport report;
    report.host = host;
    report.url = "http://" + host + "/d.xml";
    report.sender = std::move(sender);
    report.rejection = failure.empty() ? Rejection::OtherMaker : Rejection::Unreadable;
    report.failure = std::move(failure);
    return report;
}

AddressReport Searched(std::string address, int answers, int group) {
    return AddressReport{std::move(address), {}, answers, group};
}

bool Mentions(const Diagnosis& diagnosis, const std::string& text) {
    for (const auto& line : diagnosis.advice) {
        if (line.find(text) != std::string::npos)
            return true;
    }
    return false;
}

DescriptionReport Listed(std::string host, std::string sender = {}) {
    DescriptionReport report = Read(host, sender.empty() ? host : std::move(sender));
    report.rejection = Rejection::None;
    report.device = std::make_shared<Korvane::DeviceProperty>();
    return report;
}

TEST(Diagnose, AHealthyNetworkNeedsNoAdvice) {
    const auto diagnosis = Explain({{Searched("192.0.2.1", 4, 2), {"fe80::1", "IPv6", 0, 0}},
                                    {Listed("192.0.2.10"), Read("192.0.2.20", "192.0.2.20")}});
    EXPECT_TRUE(diagnosis.usableAddress);
    EXPECT_TRUE(diagnosis.advice.empty());
    EXPECT_EQ(diagnosis.addresses,
              (std::vector<std::string>{"192.0.2.1: searched; 4 answers to the search, 2 "
                                        "announcements heard",
                                        "fe80::1: not searched (IPv6)"}));
    EXPECT_EQ(Explain({{Searched("192.0.2.1", 1, 1)}, {}}).addresses,
              std::vector<std::string>{"192.0.2.1: searched; 1 answer to the search, 1 "
                                       "announcement heard"});
}

// No answer to the search on an address: the computer's own firewall is named first, whether
// or not announcements got through, then a network that keeps devices apart.
TEST(Diagnose, NoAnswerToTheSearchNamesThisComputersFirewallFirst) {
    for (const int announcements : {0, 5}) {
        const auto diagnosis = Explain({{Searched("192.0.2.1", 0, announcements)}, {}});
        ASSERT_EQ(diagnosis.advice.size(), 1u) << announcements;
        const std::string& advice = diagnosis.advice[0];
        EXPECT_LT(advice.find("firewall on this computer"), advice.find("client isolation"));
        EXPECT_NE(advice.find("sudo ufw allow proto udp from "), std::string::npos);
        EXPECT_NE(advice.find("firewall-cmd --permanent"), std::string::npos);
        EXPECT_NE(advice.find("firewall-cmd --reload"), std::string::npos);
        EXPECT_EQ(advice.find("announcements were heard") != std::string::npos, announcements > 0);
    }
    // Beside an answered address, a silent one is not this computer's firewall.
    const auto mixed = Explain({{Searched("192.0.2.1", 2, 0), Searched("198.51.100.7", 0, 0)}, {}});
    ASSERT_EQ(mixed.advice.size(), 1u);
    EXPECT_EQ(mixed.advice[0], "On 198.51.100.7 no device answered the search, while another "
                               "address was answered: most likely nothing answers on this one's "
                               "network (a virtual or unused adapter).");
}

// A location that cannot be the device was never fetched: said so, not "could not be read".
TEST(Diagnose, ARefusedLocationIsSaidNotFetched) {
    DescriptionReport refused = Read("127.0.0.1", "192.0.2.30", "names a loopback address");
    refused.rejection = Rejection::NotFetched;
    refused.refusal = LocationRefusal::Loopback;
    const auto diagnosis =
        Explain({{Searched("192.0.2.1", 2, 0)}, {Listed("192.0.2.10"), refused}});
    ASSERT_EQ(diagnosis.advice.size(), 1u);
    EXPECT_EQ(diagnosis.advice[0], "The description address http://127.0.0.1/d.xml (from "
                                   "192.0.2.30) names a loopback address: it was not fetched.");
}

TEST(Diagnose, OnlyForeignDevicesAnsweringAreNamed) {
    std::vector<DescriptionReport> foreign;
    for (const char* host : {"192.0.2.20", "192.0.2.21", "192.0.2.22", "192.0.2.23"}) {
        foreign.push_back(Read(host, host));
        foreign.back().manufacturer = "Acme";
        foreign.back().modelName = "AC1200";
    }
    const auto diagnosis = Explain({{Searched("192.0.2.1", 4, 0)}, foreign});
    EXPECT_TRUE(Mentions(diagnosis, "none of the 4 devices that answered is a Korvane: 192.0.2.20 "
                                    "(Acme, AC1200); 192.0.2.21 (Acme, AC1200); 192.0.2.22 (Acme, "
                                    "AC1200); ..."));
    EXPECT_FALSE(Mentions(diagnosis, "firewall"));
    foreign.resize(1);
    EXPECT_EQ(Explain({{Searched("192.0.2.1", 1, 0)}, foreign}).advice,
              std::vector<std::string>{"The search worked, but the one device that answered is "
                                       "not a Korvane: 192.0.2.20 (Acme, AC1200)."});
}

TEST(Diagnose, ADeviceInAnotherNetworkIsNamedWithTheWayToReachIt) {
    const auto diagnosis = Explain({{Searched("192.0.2.1", 0, 1)},
                                    {Read("192.168.7.1", "192.168.7.1", "network is unreachable")},
                                    {*ParseIPv4Network("192.0.2.0/24")}});
    ASSERT_EQ(diagnosis.advice.size(), 2u);
    EXPECT_EQ(diagnosis.advice[0],
              "A device at 192.168.7.1 is on this computer's link but in another network (likely "
              "192.168.7.0/24), so it cannot be reached (network is unreachable). A router whose "
              "address was changed, or a device with a fixed address of its own, does this. To "
              "reach it, give this computer an address in 192.168.7.0/24 for a while (in the "
              "network settings, or with sudo ip address add), or reset the router to its "
              "factory settings.");
    EXPECT_NE(diagnosis.advice[1].find("firewall on this computer"), std::string::npos);
}

TEST(Diagnose, NoUsableAddress) {
    const auto diagnosis = Explain({{{"127.0.0.1", "loopback", 0, 0}}, {}});
    EXPECT_FALSE(diagnosis.usableAddress);
    EXPECT_TRUE(Mentions(diagnosis, "No usable IPv4 address"));
    // The search's fallback when the machine has no address of its own: not connected.
    const auto none = Explain({{Searched("0.0.0.0", 0, 0)}, {}});
    EXPECT_FALSE(none.usableAddress);
    EXPECT_TRUE(Mentions(none, "not connected"));
    EXPECT_FALSE(Mentions(none, "firewall"));
    EXPECT_FALSE(Explain({{}, {}}).usableAddress); // a run stopped before any address
}

TEST(Diagnose, FailedFetchesAndForeignAddresses) {
    const auto diagnosis = Explain({{Searched("192.0.2.1", 3, 0)},
                                    {Read("192.0.2.30", "192.0.2.30", "connection refused"),
                                     Listed("192.0.2.99", "192.0.2.40")}});
    EXPECT_TRUE(Mentions(diagnosis, "The description at http://192.0.2.30/d.xml could not be read: "
                                    "connection refused"));
    EXPECT_TRUE(
        Mentions(diagnosis, "192.0.2.40 answered with a description address on 192.0.2.99"));
    EXPECT_EQ(diagnosis.advice.size(), 2u);
}

// A name as a device wrote it, through the reader to the document: shown as the window shows it.
TEST(ScanJson, OneDocumentOfValidUtf8) {
    const ScanRow device = RowOf(ReadDescription(
        {"192.0.2.10", "http://192.0.2.10/d.xml"}, "192.0.2.10", true,
        "<root><device>\n<friendlyName>Bad\xFF\x1B &amp; name</friendlyName>\n"
        "<manufacturer>Korvane</manufacturer>\n<modelName>KT6610</modelName>\n</device></root>",
        ""));
    ScanRow foreign = device;
    foreign.listed = false;
    foreign.reason = "manufacturer is not Korvane";
    const std::vector<AddressReport> addresses{Searched("192.0.2.1", 1, 0),
                                               {"127.0.0.1", "loopback", 0, 0}};
    const std::vector<ScanRow> described{device, foreign};
    const auto text = ScanJson({device}, &described, addresses, Explain({addresses, {}}));

    const auto document = nlohmann::json::parse(text); // throws on anything but UTF-8 JSON
    EXPECT_EQ(document["devices"][0]["friendly_name"], "Bad\xEF\xBF\xBD  & name");
    EXPECT_EQ(document["devices"][0].size(), 5u);
    EXPECT_EQ(document["descriptions"][1]["listed"], false);
    EXPECT_EQ(document["descriptions"][1]["reason"], "manufacturer is not Korvane");
    EXPECT_EQ(document["addresses"][1]["searched"], false);
    EXPECT_EQ(document["addresses"][1]["not_searched_because"], "loopback");
    EXPECT_EQ(document["addresses"][0]["search_socket_answers"], 1);
    EXPECT_TRUE(document["diagnosis"].is_array());
    ASSERT_TRUE(document.contains("findings"));
    EXPECT_TRUE(document.at("findings").is_array() && document.at("findings").empty());
    const std::vector<AddressReport> silent{Searched("192.0.2.1", 0, 3)};
    const auto findings = nlohmann::json::parse(
        ScanJson({}, nullptr, silent, Explain({silent, {}, {}, LocalFirewall::Ufw})))["findings"];
    EXPECT_EQ(findings, nlohmann::json::parse(R"([{"kind": "no_answer", "address": "192.0.2.1",
        "network": "192.0.2.0/24", "announcements": 3, "firewall": "ufw"}])"));
    EXPECT_FALSE(nlohmann::json::parse(ScanJson({}, nullptr, {}, {})).contains("descriptions"));
}

struct FormCase {
    const char* name;
    std::vector<const char*> args;
    bool ok;
    OutputForm form;
    Streaming streaming;
    bool all;
};

class ScanFormTest : public testing::TestWithParam<FormCase> {};

TEST_P(ScanFormTest, ParsesTheOutputChoices) {
    std::vector<const char*> argv{"pathmere-scan"};
    argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
    ScanOptions options;
    std::string error;
    ASSERT_EQ(ParseScanOptions(static_cast<int>(argv.size()), argv.data(), options, error),
              GetParam().ok)
        << error;
    if (GetParam().ok) {
        EXPECT_EQ(options.form, GetParam().form);
        EXPECT_EQ(options.streaming, GetParam().streaming);
        EXPECT_EQ(options.all, GetParam().all);
    } else {
        EXPECT_NE(error.find("choose one"), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScanFormTest,
    testing::Values(
        FormCase{"Defaults", {}, true, OutputForm::Automatic, Streaming::Automatic, false},
        FormCase{"Json", {"--json"}, true, OutputForm::Json, Streaming::Automatic, false},
        FormCase{"CsvAllStream",
                 {"--csv", "--all", "--stream"},
                 true,
                 OutputForm::Csv,
                 Streaming::On,
                 true},
        FormCase{
            "TsvNoStream", {"--tsv", "--no-stream"}, true, OutputForm::Tsv, Streaming::Off, false},
        FormCase{"SameFormTwice",
                 {"--table", "--table"},
                 true,
                 OutputForm::Table,
                 Streaming::Automatic,
                 false},
        FormCase{"TwoForms",
                 {"--tsv", "--json"},
                 false,
                 OutputForm::Automatic,
                 Streaming::Automatic,
                 false}),
    [](const testing::TestParamInfo<FormCase>& row) { return std::string(row.param.name); });

TEST(ScanOptions, SecondsAreKeptForTheProgressLine) {
    const char* seconds[] = {"pathmere-scan", "--seconds", "2.5"};
    const char* ticks[] = {"pathmere-scan", "--tick-ms", "100"};
    ScanOptions options;
    std::string error;
    ASSERT_TRUE(ParseScanOptions(3, seconds, options, error));
    EXPECT_DOUBLE_EQ(options.seconds, 2.5);
    ASSERT_TRUE(ParseScanOptions(3, ticks, options, error));
    EXPECT_DOUBLE_EQ(options.seconds, 4.0);
}

} // namespace
