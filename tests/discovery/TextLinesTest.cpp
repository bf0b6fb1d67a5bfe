#include "discovery/transport/TextLines.h"

#include "support/CaseName.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

struct SplitCase {
    const char* name;
    std::string text;
    TextLines lines;
};

class SplitTextToLinesTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTextToLinesTest, SplitsAtEveryKindOfLineEnd) {
    EXPECT_EQ(SplitTextToLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitTextToLinesTest,
                         ::testing::Values(SplitCase{"Empty", "", {}},
                                           SplitCase{"OneLine", "a", {"a"}},
                                           SplitCase{"CrLf", "a\r\nb", {"a", "b"}},
                                           SplitCase{"LoneCrAndLoneLf", "a\rb\nc", {"a", "b", "c"}},
                                           SplitCase{"LfThenCrIsTwoEnds", "a\n\rb", {"a", "", "b"}},
                                           SplitCase{"EmptyLineKept", "a\n\nb", {"a", "", "b"}},
                                           SplitCase{"FinalBreakAddsNoLine", "a\r\n", {"a"}},
                                           SplitCase{"FinalEmptyLine", "a\r\n\r\n", {"a", ""}},
                                           SplitCase{"OnlyABreak", "\r\n", {""}},
                                           SplitCase{"NulEndsTheText", "a\0b\nc"s, {"a"}},
                                           SplitCase{"NulAfterBreak", "a\r\n\0b"s, {"a"}}),
                         CaseName());

TEST(TrimControlTest, DropsBlanksAndControlsAtBothEndsOnly) {
    EXPECT_EQ(TrimControl(" \t\r\n\x01 a b \x1f\x7f\r\n"), "a b \x1f\x7f");
    EXPECT_EQ(TrimControl(" \r\n "), "");
    EXPECT_EQ(TrimControl(""), "");
    // Bytes of UTF-8 text are above 127, not controls.
    EXPECT_EQ(TrimControl("\xC3\xA9t\xC3\xA9 "), "\xC3\xA9t\xC3\xA9");
}

TEST(JoinLinesTest, EndsEveryLineWithCrLf) {
    EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(JoinLines({}), "");
}

} // namespace
