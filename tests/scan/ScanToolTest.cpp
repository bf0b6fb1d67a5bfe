#include "DeviceLine.h"
#include "RunStats.h"
#include "ScanOptions.h"
#include "discovery/DescriptionReport.h"
#include "discovery/Upnpthread.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct OptionsCase {
    const char* name;
    std::vector<const char*> args;
    bool ok;
    long long tickMs;      // expected period when ok
    const char* errorPart; // expected in the message when not ok
};

class ScanOptionsTest : public testing::TestWithParam<OptionsCase> {};

TEST_P(ScanOptionsTest, ParsesOrExplains) {
    const OptionsCase& c = GetParam();
    std::vector<const char*> argv{"pathmere-scan"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ScanOptions options;
    std::string error;
    const bool ok = ParseScanOptions(static_cast<int>(argv.size()), argv.data(), options, error);
    ASSERT_EQ(ok, c.ok) << error;
    if (c.ok) {
        EXPECT_EQ(options.tickPeriod.count(), c.tickMs);
        EXPECT_TRUE(error.empty());
    } else {
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScanOptionsTest,
    testing::Values(
        OptionsCase{"Default5Seconds", {}, true, 125, ""},
        OptionsCase{"Seconds2", {"--seconds", "2"}, true, 50, ""},
        OptionsCase{"Seconds52IsTheProgramsPace", {"--seconds", "52"}, true, 1300, ""},
        OptionsCase{"FractionalSeconds", {"--seconds", "2.5"}, true, 63, ""},
        OptionsCase{"TinySecondsStillTicks", {"--seconds", "0.001"}, true, 1, ""},
        OptionsCase{"TickMs", {"--tick-ms", "1300"}, true, 1300, ""},
        OptionsCase{"LastOptionWins", {"--seconds", "4", "--tick-ms", "7"}, true, 7, ""},
        OptionsCase{"UnknownOption", {"--verbose"}, false, 0, "unknown option: --verbose"},
        OptionsCase{"PositionalWord", {"5"}, false, 0, "unknown option: 5"},
        OptionsCase{"MissingValue", {"--seconds"}, false, 0, "needs a value"},
        OptionsCase{"NonNumeric", {"--seconds", "abc"}, false, 0, "\"abc\""},
        OptionsCase{"TrailingGarbage", {"--seconds", "5s"}, false, 0, "\"5s\""},
        OptionsCase{"Zero", {"--seconds", "0"}, false, 0, "positive"},
        OptionsCase{"Negative", {"--seconds", "-3"}, false, 0, "positive"},
        OptionsCase{"NotANumber", {"--seconds", "nan"}, false, 0, "positive"},
        OptionsCase{"Infinite", {"--seconds", "inf"}, false, 0, "positive"},
        OptionsCase{"Hex", {"--seconds", "0x10"}, false, 0, "positive"},
        OptionsCase{"Empty", {"--seconds", ""}, false, 0, "positive"},
        OptionsCase{"BeyondAnHour", {"--seconds", "3601"}, false, 0, "3600"},
        OptionsCase{"FractionalTickMs", {"--tick-ms", "1.5"}, false, 0, "whole number"},
        OptionsCase{"ZeroTickMs", {"--tick-ms", "0"}, false, 0, "whole number"}),
    [](const testing::TestParamInfo<OptionsCase>& row) { return std::string(row.param.name); });

TEST(ScanOptions, HelpIsNotAnError) {
    const char* argv[] = {"pathmere-scan", "--help"};
    ScanOptions options;
    std::string error;
    ASSERT_TRUE(ParseScanOptions(2, argv, options, error));
    EXPECT_TRUE(options.help);
}

TEST(ScanOptions, StatsKeepsTheDefaultPace) {
    const char* argv[] = {"pathmere-scan", "--stats"};
    ScanOptions options;
    std::string error;
    ASSERT_TRUE(ParseScanOptions(2, argv, options, error));
    EXPECT_TRUE(options.stats);
    EXPECT_EQ(options.tickPeriod.count(), 125);
}

TEST(RunCost, DifferenceOfCpuAndPeakOverStartingMemory) {
    RunStats before;
    before.cpuSeconds = 1.25;
    before.residentKiB = 4000;
    before.maxResidentKiB = 4100;
    RunStats after;
    after.cpuSeconds = 1.5;
    after.residentKiB = 4200;
    after.maxResidentKiB = 6048;
    EXPECT_EQ(FormatRunCost(before, after), "cpu_seconds=0.250 added_memory_kib=2048");
}

TEST(RunCost, ReadsThisProcess) {
    // The kernel's counters lag a little, so the two sizes agree only roughly; a unit
    // mistake (pages for KiB) would put them four times apart.
    const RunStats now = RunStats::Now();
    EXPECT_GT(now.residentKiB, 0);
    EXPECT_LT(now.residentKiB, now.maxResidentKiB * 2);
    EXPECT_LT(now.maxResidentKiB, now.residentKiB * 2);
    EXPECT_GE(now.cpuSeconds, 0.0);
}

Korvane::DeviceProperty Device(std::string ip, std::string name, std::string model,
                               std::string serial, std::string location) {
    Korvane::DeviceProperty d;
    d.ipAddress = std::move(ip);
    d.friendlyName = std::move(name);
    d.modelNumber = std::move(model);
    d.serialNumber = std::move(serial);
    d.location = std::move(location);
    d.spare1 = "never shown";
    return d;
}

TEST(DeviceLine, FiveTabSeparatedFieldsInOrder) {
    EXPECT_EQ(FormatDeviceLine(Device("192.0.2.10", "Office router", "1.2", "SN42",
                                      "http://192.0.2.10:5000/rootDesc.xml")),
              "192.0.2.10\tOffice router\t1.2\tSN42\thttp://192.0.2.10:5000/rootDesc.xml");
}

// A device's tabs and line breaks, read as the search reads them, stay inside their fields.
TEST(DeviceLine, TabsAndLineBreaksInsideFieldsBecomeBlanks) {
    const auto report =
        ReadDescription({"192.0.2.10", "http://192.0.2.10/a\tb\r\n"}, "192.0.2.10", true,
                        "<manufacturer>Korvane</manufacturer><modelName>KT6610</modelName>\n"
                        "<friendlyName>one\ttwo\x7f</friendlyName><modelNumber>x\vy</modelNumber>"
                        "<serialNumber>\t</serialNumber>",
                        "");
    ASSERT_NE(report.device, nullptr);
    EXPECT_EQ(FormatDeviceLine(*report.device),
              "192.0.2.10\tone two \tx y\t \thttp://192.0.2.10/a b  ");
}

TEST(DeviceLine, EmptyAndMissingFieldsKeepTheirColumns) {
    // A missing element arrives as "0", an empty one as nothing; both keep five columns.
    EXPECT_EQ(FormatDeviceLine(Device("192.0.2.10", "0", "", "0", "")), "192.0.2.10\t0\t\t0\t");
}

} // namespace
