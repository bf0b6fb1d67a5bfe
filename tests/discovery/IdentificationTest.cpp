#include "discovery/Identification.h"

#include "discovery/DescriptionReport.h"
#include "discovery/ShownText.h"
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
    Rejection rejection;
};

class AcceptanceTest : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptanceTest, NeedsTheMakerAndAModelOfTheTable) {
    EXPECT_EQ(JudgeDevice(GetParam().manufacturer, GetParam().model), GetParam().rejection);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AcceptanceTest,
    ::testing::Values(
        AcceptCase{"Exact", "Korvane", "KT6610", Rejection::None},
        AcceptCase{"ModelInLowerCase", "Korvane", "kt5520gr", Rejection::None},
        AcceptCase{"MakerInsideLongerText", "The kOrVaNe Company Ltd.", "BX-91CRU",
                   Rejection::None},
        AcceptCase{"MakerGluedToOtherWords", "XKORVANEX", "BX-91C", Rejection::None},
        AcceptCase{"BlankBeforeModel", "Korvane", " KT6610", Rejection::UnsupportedModel},
        AcceptCase{"BlankAfterModel", "Korvane", "KT6610 ", Rejection::UnsupportedModel},
        AcceptCase{"RowFollowedByMore", "Korvane", "KT6610X", Rejection::UnsupportedModel},
        AcceptCase{"BeginningOfARow", "Korvane", "KT55", Rejection::UnsupportedModel},
        AcceptCase{"OtherMaker", "Other Networks", "KT6610", Rejection::OtherMaker},
        AcceptCase{"MakerMisspelt", "Korvan", "KT6610", Rejection::OtherMaker},
        AcceptCase{"MissingElements", "0", "0", Rejection::OtherMaker},
        AcceptCase{"EmptyModel", "Korvane", "", Rejection::UnsupportedModel}),
    CaseName());

TEST(AcceptanceTest, EveryRowOfTheModelTableIsAccepted) {
    for (const auto model : kModelTable) {
        EXPECT_EQ(JudgeDevice("Korvane", model), Rejection::None) << model;
    }
}

const DeviceLocation kLocation{"192.0.2.10", "http://192.0.2.10:5000/desc.xml"};

// A description fetched in full, as a run reads it.
DescriptionReport Read(const std::string& body) {
    return ReadDescription(kLocation, kLocation.host, true, body, {});
}

std::shared_ptr<Korvane::DeviceProperty> Identify(const std::string& body) {
    return Read(body).device;
}

TEST(IdentifyDeviceTest, FillsTheRecordOfAnAcceptedDevice) {
    const auto device =
        Identify(Description("Korvane", "KT6610", "Hall & Office", "KT-6610 rev B", "K12345"));
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
    const auto device = Identify("<root><device>\n<manufacturer>Korvane</manufacturer>\n"
                                 "<modelName>KT6610</modelName>\n</device></root>");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->friendlyName, "0");
    EXPECT_EQ(device->modelNumber, "0");
    EXPECT_EQ(device->serialNumber, "0");
}

struct ReportCase {
    const char* name;
    bool fetched;
    std::string body;
    Rejection rejection;
    const char* words; // as pathmere-scan --all gives them
};

class ReadDescriptionTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReadDescriptionTest, ListsOrSaysWhyNot) {
    const auto& c = GetParam();
    const DeviceLocation location{"192.0.2.10", "http://192.0.2.10/d.xml"};
    const auto report = ReadDescription(location, "192.0.2.9", c.fetched, c.body, "timed out");
    EXPECT_EQ(report.rejection, c.rejection);
    EXPECT_EQ(report.device != nullptr, c.rejection == Rejection::None);
    EXPECT_EQ(RejectionText(report), c.words);
    EXPECT_EQ(WasRead(report), c.fetched);
    EXPECT_EQ(report.sender, "192.0.2.9");
    EXPECT_EQ(report.url, location.url);
    if (report.device) {
        EXPECT_EQ(report.device->ipAddress, "192.0.2.10");
        EXPECT_EQ(report.device->friendlyName, "Hall");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadDescriptionTest,
    ::testing::Values(
        ReportCase{"Listed", true, Description("KORVANE Ltd", "kt6610", "Hall"), Rejection::None,
                   ""},
        ReportCase{"ForeignMaker", true, Description("Acme", "KT6610"), Rejection::OtherMaker,
                   "manufacturer is not Korvane"},
        ReportCase{"UnknownModel", true, Description("Korvane", "KT9999"),
                   Rejection::UnsupportedModel, "model KT9999 is not supported"},
        // The words carry the model as shown: decoded, and without control characters.
        ReportCase{"UnknownModelAsShown", true, Description("Korvane", "KT&lt;9\x1b"),
                   Rejection::UnsupportedModel, "model KT<9  is not supported"},
        ReportCase{"NoModelElement", true, "<root><manufacturer>Korvane</manufacturer></root>",
                   Rejection::UnsupportedModel, "model 0 is not supported"},
        ReportCase{"ErrorPage", true, "<html><body><h1>404 Not Found</h1></body></html>",
                   Rejection::OtherMaker, "manufacturer is not Korvane"},
        ReportCase{"Empty", true, "", Rejection::Empty, "description is empty"},
        // The boundary: ten bytes are no description, eleven are read.
        ReportCase{"TenBytesAreEmpty", true, "<root>12\r\n", Rejection::Empty,
                   "description is empty"},
        ReportCase{"ElevenBytesAreRead", true, "<root>123\r\n", Rejection::OtherMaker,
                   "manufacturer is not Korvane"},
        ReportCase{"NotRead", false, Description("Korvane", "KT6610"), Rejection::Unreadable,
                   "description could not be read: timed out"}),
    CaseName());

TEST(ReadDescription, KeepsWhatARejectedDeviceCalledItself) {
    const auto report = ReadDescription({"192.0.2.20", "http://192.0.2.20/d.xml"}, "192.0.2.20",
                                        true, Description("Acme &amp; Co", "X1", "Acme box"), "");
    EXPECT_EQ(report.manufacturer, "Acme & Co");
    EXPECT_EQ(report.modelName, "X1");
    EXPECT_EQ(report.friendlyName, "Acme box");
}

// What came with the answer is shown too (the row's details, the diagnosis): cleaned here.
TEST(ReadDescription, TheAnswersTextsAreShownClean) {
    const auto report = ReadDescription({"192.0.2.20", "http://192.0.2.20/d\x1b[2J\xff.xml"},
                                        "192.0.2.20", false, "", "bad\r\nline");
    EXPECT_EQ(report.url, "http://192.0.2.20/d [2J\xEF\xBF\xBD.xml");
    EXPECT_EQ(report.failure, "bad  line");
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
        const auto device = Identify(Description("Korvane", "KT6610", raw, raw, raw));
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
    const auto device = Identify(Description("Korvane", "KT6610", written, written, written));
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
        ReferenceCase{"HexReference", "Ahmet&#x27;s &#X27; &#x41;&#x3A9;",
                      "Ahmet's &#X27; A\u03a9"},
        ReferenceCase{"DecimalBeyondTheBasicPlane", "&#128512;", "\U0001F600"},
        ReferenceCase{"DecodedOnceOnly", "&amp;lt; &amp;#39;", "&lt; &#39;"},
        ReferenceCase{"UnknownEntity", "Caf&eacute; &nbsp;", "Caf&eacute; &nbsp;"},
        ReferenceCase{"NotAReference", "A & B &; &#; &#x; &#12a; &amp",
                      "A & B &; &#; &#x; &#12a; &amp"},
        ReferenceCase{"ControlCharacters", "a&#9;b&#x1b;c&#127;d&#x85;e",
                      "a&#9;b&#x1b;c&#127;d&#x85;e"},
        ReferenceCase{"NotCharacters", "&#xD800; &#xFFFE; &#xFDD0; &#x10FFFF; &#x110000; &#0;",
                      "&#xD800; &#xFFFE; &#xFDD0; &#x10FFFF; &#x110000; &#0;"},
        ReferenceCase{"TooLongToBeANumber", "&#99999999999999999999;", "&#99999999999999999999;"}),
    CaseName());

TEST(ShownTextTest, AcceptanceReadsTheRawText) {
    EXPECT_NE(Identify(Description("Korvane", "KT6610")), nullptr);
    EXPECT_EQ(Identify(Description("Korvane", "KT&#54;610")), nullptr);
    EXPECT_EQ(Identify(Description("Korv&#x61;ne", "KT6610")), nullptr);
}

} // namespace
