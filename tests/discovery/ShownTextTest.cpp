#include "discovery/ShownText.h"

#include "support/CaseName.h"

#include <gtest/gtest.h>

namespace {

const std::string R = "\xEF\xBF\xBD"; // U+FFFD

struct TextCase {
    const char* name;
    std::string raw;
    std::string shown;
};

class ShownTextPolicy : public testing::TestWithParam<TextCase> {};

TEST_P(ShownTextPolicy, KeepsValidUtf8BlanksControlsAndReplacesTheRest) {
    EXPECT_EQ(ShownText(GetParam().raw), GetParam().shown);
    // Shown once is shown for good: the tool may print what the window lists.
    EXPECT_EQ(ShownText(GetParam().shown), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShownTextPolicy,
    testing::Values(
        TextCase{"Ascii", "Office router", "Office router"},
        TextCase{"TwoThreeFourBytes", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xA1",
                 "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xA1"},
        TextCase{"Latin1Byte", "Caf\xE9", "Caf" + R},
        TextCase{"LoneContinuation", "a\x80z", "a" + R + "z"},
        TextCase{"Overlong", "\xC0\xAF", R + R}, TextCase{"Surrogate", "\xED\xA0\x80", R + R + R},
        TextCase{"BeyondUnicode", "\xF4\x90\x80\x80", R + R + R + R},
        TextCase{"CutAtTheEnd", "ok\xE2\x82", "ok" + R + R},
        TextCase{"Escape", "\x1B[31mred", " [31mred"},
        TextCase{"BellAndDelete", "a\x07\x7F", "a  "}, TextCase{"C1Control", "a\xC2\x85z", "a z"},
        TextCase{"NoBreakSpaceIsText", "a\xC2\xA0z", "a\xC2\xA0z"},
        TextCase{"TabsAndBreaksAreBlanks", "a\tb\r\nc", "a b  c"},
        TextCase{"NulInside", std::string("a\0b", 3), "a b"},
        TextCase{"LineAndParagraphSeparators", "a\u2028b\u2029c", "a b c"},
        TextCase{"DirectionOverrides", "x\u202Egpj.exe\u202Cy \u2067z\u2069", "x gpj.exe y  z "},
        TextCase{"NeighboursStayText", "\u2027\u202F\u2065\u206A", "\u2027\u202F\u2065\u206A"}),
    CaseName());

// The bound counts the bytes shown, a replacement's three included, and never splits one.
TEST(ShownTextPolicy, ABoundCutsBeforeTheFirstCharacterThatDoesNotFit) {
    const struct {
        std::string raw;
        std::size_t limit;
        std::string shown;
    } cases[] = {
        {"abcdef", 4, "abcd"}, {"abc\xD0\x96z", 4, "abc"}, {"abc\xD0\x96z", 5, "abc\xD0\x96"},
        {"ab\xFF", 4, "ab"},   {"ab\xFF", 5, "ab" + R},    {"a\tb", 2, "a "},
        {"abc", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShownText(c.raw, c.limit), c.shown) << c.raw << " within " << c.limit;
    }
}

} // namespace
