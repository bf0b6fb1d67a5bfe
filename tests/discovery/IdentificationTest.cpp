#include "discovery/Identification.h"

#include "support/CaseName.h"
#include "support/Descriptions.h"

#include <gtest/gtest.h>

namespace {

struct TagCase {
    const char* name;
    TextLines lines;
    const char* value;
};

class ExtractTagValueTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(ExtractTagValueTest, ReadsTheFirstLineHoldingTheTag) {
    EXPECT_EQ(ExtractTagValue(GetParam().lines, "modelName"), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractTagValueTest,
    ::testing::Values(
        TagCase{"Plain", {"<root>", "  <modelName>KT6610</modelName>  "}, "KT6610"},
        TagCase{"Missing", {"<root>", "<friendlyName>x</friendlyName>"}, "0"},
        TagCase{"NoLines", {}, "0"}, TagCase{"Empty", {"<modelName></modelName>"}, ""},
        TagCase{"ClosingTagOnNextLine", {"<modelName>KT6610", "</modelName>"}, ""},
        TagCase{"ClosingTagBeforeOpening", {"</modelName><modelName>KT6610"}, ""},
        TagCase{"Attributes", {"<modelName lang=\"en\">KT6610</modelName>"}, "0"},
        TagCase{"NamespacePrefix", {"<u:modelName>KT6610</u:modelName>"}, "0"},
        TagCase{"OtherCase", {"<MODELNAME>KT6610</MODELNAME>"}, "0"},
        TagCase{"KeptAsWritten", {"<modelName> KT &amp; 6610 </modelName>"}, " KT &amp; 6610 "},
        TagCase{"FirstLineCounts",
                {"<modelName>first</modelName>", "<modelName>second</modelName>"},
                "first"},
        TagCase{"FirstLineCountsEvenWhenBroken",
                {"<modelName>first", "<modelName>second</modelName>"},
                ""},
        TagCase{"FirstElementOfASingleLine",
                {"<root><device><modelName>A</modelName><deviceList><device><modelName>B</"
                 "modelName></device></deviceList></device></root>"},
                "A"}),
    CaseName());

TEST(FindTagLineTest, GivesTheFirstLineHoldingTheTextOrMinusOne) {
    const TextLines lines{"<a>", "<b>x</b>", "<b>y</b>"};
    EXPECT_EQ(FindTagLine(lines, "<b>"), 1);
    EXPECT_EQ(FindTagLine(lines, "<a>"), 0);
    EXPECT_EQ(FindTagLine(lines, "<B>"), -1);
    EXPECT_EQ(FindTagLine({}, "<a>"), -1);
}

struct AcceptCase {
    const char* name;
    const char* manufacturer;
    const char* model;
    bool accepted;
};

class AcceptanceTest : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptanceTest, NeedsTheMakerAndAModelOfTheTable) {
    EXPECT_EQ(IsAcceptedDevice(GetParam().manufacturer, GetParam().model), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AcceptanceTest,
    ::testing::Values(AcceptCase{"Exact", "Korvane", "KT6610", true},
                      AcceptCase{"ModelInLowerCase", "Korvane", "kt5520gr", true},
                      AcceptCase{"MakerInsideLongerText", "The kOrVaNe Company Ltd.", "BX-91CRU",
                                 true},
                      AcceptCase{"MakerGluedToOtherWords", "XKORVANEX", "BX-91C", true},
                      AcceptCase{"BlankBeforeModel", "Korvane", " KT6610", false},
                      AcceptCase{"BlankAfterModel", "Korvane", "KT6610 ", false},
                      AcceptCase{"RowFollowedByMore", "Korvane", "KT6610X", false},
                      AcceptCase{"BeginningOfARow", "Korvane", "KT55", false},
                      AcceptCase{"OtherMaker", "Other Networks", "KT6610", false},
                      AcceptCase{"MakerMisspelt", "Korvan", "KT6610", false},
                      AcceptCase{"MissingElements", "0", "0", false},
                      AcceptCase{"EmptyModel", "Korvane", "", false}),
    CaseName());

TEST(AcceptanceTest, EveryRowOfTheModelTableIsAccepted) {
    for (const auto model : kModelTable) {
        EXPECT_TRUE(IsAcceptedDevice("Korvane", model)) << model;
    }
}

const DeviceLocation kLocation{"192.0.2.10", "http://192.0.2.10:5000/desc.xml"};

TEST(IdentifyDeviceTest, FillsTheRecordOfAnAcceptedDevice) {
    const auto device =
        IdentifyDevice(kLocation, SplitTextToLines(Description("Korvane", "KT6610", "Hall & Office",
                                                               "KT-6610 rev B", "K12345")));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->ipAddress, kLocation.host);
    EXPECT_EQ(device->location, kLocation.url);
    EXPECT_EQ(device->friendlyName, "Hall & Office");
    EXPECT_EQ(device->modelNumber, "KT-6610 rev B");
    EXPECT_EQ(device->serialNumber, "K12345");
    for (const auto* spare : {&device->spare1, &device->spare2, &device->spare3, &device->spare4}) {
        EXPECT_TRUE(spare->empty());
    }
}

TEST(IdentifyDeviceTest, MissingElementsReadAsZero) {
    const auto device =
        IdentifyDevice(kLocation, {"<root><device>", "<manufacturer>Korvane</manufacturer>",
                                   "<modelName>KT6610</modelName>", "</device></root>"});
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->friendlyName, "0");
    EXPECT_EQ(device->modelNumber, "0");
    EXPECT_EQ(device->serialNumber, "0");
}

TEST(IdentifyDeviceTest, RejectsForeignDevicesAndPagesThatAreNoDescription) {
    EXPECT_EQ(IdentifyDevice(kLocation, SplitTextToLines(Description("Other", "KT6610"))), nullptr);
    EXPECT_EQ(IdentifyDevice(kLocation, SplitTextToLines(Description("Korvane", "KT9999"))),
              nullptr);
    EXPECT_EQ(IdentifyDevice(kLocation, {"<html><body><h1>404 Not Found</h1></body></html>"}),
              nullptr);
    EXPECT_EQ(IdentifyDevice(kLocation, {}), nullptr);
}

std::string Repeated(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

TEST(IdentifyDeviceTest, TextsAreBoundedAndFreeOfControlCharacters) {
    const std::string cyrillic = "\xd0\x96"; // two bytes
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Office router", "Office router"},
        {std::string("Controls\x01\x1b[31m\x7f\tend"), "Controls  [31m  end"},
        {std::string(100 * 1024, 'n'), std::string(kMaxDisplayText, 'n')},
        // References are decoded before the cut, which counts the decoded bytes.
        {Repeated("&amp;", kMaxDisplayText + 1), std::string(kMaxDisplayText, '&')},
        // 255 bytes, then a character the cut would split: it goes whole.
        {std::string(kMaxDisplayText - 1, 'a') + cyrillic + "tail",
         std::string(kMaxDisplayText - 1, 'a')},
        {std::string(kMaxDisplayText - 2, 'a') + cyrillic + "tail",
         std::string(kMaxDisplayText - 2, 'a') + cyrillic},
    };
    for (const auto& [raw, shown] : cases) {
        const auto device =
            IdentifyDevice(DeviceLocation{"192.0.2.10", "http://192.0.2.10/d.xml"},
                           SplitTextToLines(Description("Korvane", "KT6610", raw, raw, raw)));
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(device->friendlyName, shown) << raw.substr(0, 20);
        EXPECT_EQ(device->modelNumber, shown);
        EXPECT_EQ(device->serialNumber, shown);
    }
}

struct ReferenceCase {
    const char* name;
    const char* written;
    const char* shown;
};

class ShownTextTest : public ::testing::TestWithParam<ReferenceCase> {};

// Names, model and serial numbers come escaped as XML; the acceptance reads the raw text.
TEST_P(ShownTextTest, DecodesReferencesOnceAndLeavesTheRestAsWritten) {
    const std::string written = GetParam().written;
    const auto device = IdentifyDevice(
        kLocation, SplitTextToLines(Description("Korvane", "KT6610", written, written, written)));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->friendlyName, GetParam().shown);
    EXPECT_EQ(device->modelNumber, GetParam().shown);
    EXPECT_EQ(device->serialNumber, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShownTextTest,
    ::testing::Values(
        ReferenceCase{"OwnersName", "Ahmet&#39;s Office &amp; Lab", "Ahmet's Office & Lab"},
        ReferenceCase{"FivePredefinedEntities", "&lt;a&gt; &quot;b&quot; &apos;c&apos; &amp;",
                      "<a> \"b\" 'c' &"},
        ReferenceCase{"HexReference", "Ahmet&#x27;s &#X27; &#x41;&#x3A9;", "Ahmet's &#X27; A\u03a9"},
        ReferenceCase{"DecimalBeyondTheBasicPlane", "&#128512;", "\U0001F600"},
        ReferenceCase{"DecodedOnceOnly", "&amp;lt; &amp;#39;", "&lt; &#39;"},
        ReferenceCase{"UnknownEntity", "Caf&eacute; &nbsp;", "Caf&eacute; &nbsp;"},
        ReferenceCase{"NotAReference", "A & B &; &#; &#x; &#12a; &amp", "A & B &; &#; &#x; &#12a; &amp"},
        ReferenceCase{"ControlCharacters", "a&#9;b&#x1b;c&#127;d&#x85;e", "a&#9;b&#x1b;c&#127;d&#x85;e"},
        ReferenceCase{"NotCharacters", "&#xD800; &#xFFFE; &#xFDD0; &#x10FFFF; &#x110000; &#0;",
                      "&#xD800; &#xFFFE; &#xFDD0; &#x10FFFF; &#x110000; &#0;"},
        ReferenceCase{"TooLongToBeANumber", "&#99999999999999999999;", "&#99999999999999999999;"}),
    CaseName());

TEST(ShownTextTest, AcceptanceReadsTheRawText) {
    EXPECT_NE(IdentifyDevice(kLocation, SplitTextToLines(Description("Korvane", "KT6610"))), nullptr);
    EXPECT_EQ(IdentifyDevice(kLocation, SplitTextToLines(Description("Korvane", "KT&#54;610"))),
              nullptr);
    EXPECT_EQ(IdentifyDevice(kLocation, SplitTextToLines(Description("Korv&#x61;ne", "KT6610"))),
              nullptr);
}

} // namespace
