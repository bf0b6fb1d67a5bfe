#include "language/LanguageChoice.h"

#include "common/TempFolder.h"
#include "settings/settings.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

namespace {

const char* const kKey = "\\SOFTWARE\\Korvane\\Pathmere\\";
constexpr int kRoot = 1;

// The choice on its own: a store in a scratch folder, the shipped file or none, and a record
// of what it asked the window to apply.
class LanguageChoiceAlone : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* home = std::getenv("XDG_CONFIG_HOME")) {
            savedHome = home;
        }
        UseStoreBelow(folder.path() / "config");
        Lang::Instance().stCountry = QStringLiteral("unread");
    }
    void TearDown() override {
        savedHome ? setenv("XDG_CONFIG_HOME", savedHome->c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    }

    static void UseStoreBelow(const std::filesystem::path& home) {
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    }

    LanguageChoice Choice(const QString& file) {
        return LanguageChoice(
            Lang::Instance(), kRoot, kKey, [file] { return file; },
            [this](LanguageChoice::Language chosen, bool textsRead) {
                applied.emplace_back(chosen, textsRead);
            });
    }

    static std::string Stored() { return ReadRegistryValue(kRoot, kKey, "Language"); }

    TempFolder folder;
    std::optional<std::string> savedHome;
    std::vector<std::pair<LanguageChoice::Language, bool>> applied;
    const QString shipped = QStringLiteral(PATHMERE_LANG_XML);
};

// What an earlier choice stored decides the language of the start; anything but one of the
// four codes is Turkish, stored as a string from then on.
TEST_F(LanguageChoiceAlone, AStartChoosesTheStoredLanguage) {
    const struct {
        const char* name;
        std::optional<std::string> stored; // nullopt: nothing; "#": a number
        LanguageChoice::Language chosen;
        const char* storedAfter;
    } cases[] = {
        {"nothing", std::nullopt, LanguageChoice::Turkish, "TR"},
        {"English", "EN", LanguageChoice::English, "EN"},
        {"Greek", "EL", LanguageChoice::Greek, "EL"},
        {"lower case", "ru", LanguageChoice::Turkish, "TR"},
        {"unknown", "DE", LanguageChoice::Turkish, "TR"},
        {"a number", "#", LanguageChoice::Turkish, "TR"},
    };
    for (const auto& c : cases) {
        UseStoreBelow(folder.path() / c.name);
        if (c.stored == "#") {
            WriteRegistryNumber(kRoot, kKey, "Language", 2);
        } else if (c.stored) {
            WriteRegistryValue(kRoot, kKey, "Language", *c.stored);
        }
        applied.clear();
        Choice(shipped).ChooseStored();
        ASSERT_EQ(applied.size(), 1u) << c.name;
        EXPECT_EQ(applied[0].first, c.chosen) << c.name;
        EXPECT_TRUE(applied[0].second) << c.name;
        EXPECT_EQ(Stored(), c.storedAfter) << c.name;
    }
}

// A language whose texts cannot be read is still the one chosen: applied as unread (the window
// keeps its texts and marks it), stored, and the table left as it was.
TEST_F(LanguageChoiceAlone, AnUnreadFileStillChoosesAndStores) {
    Choice(QString::fromStdString((folder.path() / "missing.xml").string()))
        .Choose(LanguageChoice::Russian);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0], std::make_pair(LanguageChoice::Russian, false));
    EXPECT_EQ(Lang::Instance().stCountry, QStringLiteral("unread"));
    EXPECT_EQ(Stored(), "RU");

    Choice(shipped).Choose(LanguageChoice::Greek);
    EXPECT_EQ(applied.back(), std::make_pair(LanguageChoice::Greek, true));
    EXPECT_EQ(Lang::Instance().stCountry, QStringLiteral("Greek"));
}

// A store that cannot be written does not undo the choice, nor raise.
TEST_F(LanguageChoiceAlone, AStoreThatCannotBeWrittenKeepsTheChoice) {
    folder.Write("blocker", "a plain file");
    UseStoreBelow(folder.path() / "blocker" / "config");
    EXPECT_NO_THROW(Choice(shipped).Choose(LanguageChoice::English));
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0], std::make_pair(LanguageChoice::English, true));
    EXPECT_EQ(Lang::Instance().stCountry, QStringLiteral("English"));
}

} // namespace
