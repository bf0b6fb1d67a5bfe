#include "LanguageTestSupport.h"
#include "language/Language.h"
#include "language/LanguageFile.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

const QString kShipped = QStringLiteral(PATHMERE_LANG_XML);

// Loads every language of the program's own file and returns each one's texts by key.
std::map<std::string, std::map<std::string, QString>> LoadAll() {
    std::map<std::string, std::map<std::string, QString>> texts;
    Lang& table = Lang::Instance();
    std::array<QString, 27> saved;
    for (std::size_t i = 0; i < kReadingOrder.size(); ++i)
        saved[i] = table.*kReadingOrder[i].member;
    for (const char* code : {"TR", "EN", "RU", "EL"}) {
        for (const KeyMember& key : kReadingOrder)
            (table.*key.member).clear();
        EXPECT_TRUE(LoadLanguage(code, kShipped, table)) << code;
        for (const KeyMember& key : kReadingOrder)
            texts[code][key.name] = table.*key.member;
    }
    for (std::size_t i = 0; i < kReadingOrder.size(); ++i)
        table.*kReadingOrder[i].member = saved[i];
    return texts;
}

TEST(ShippedLanguageFile, HoldsFourCompleteLanguages) {
    const auto texts = LoadAll();
    ASSERT_EQ(texts.size(), 4u);
    for (const auto& [code, keys] : texts) {
        for (const auto& [name, text] : keys) {
            EXPECT_FALSE(text.trimmed().isEmpty()) << code << " " << name;
            EXPECT_EQ(text, text.trimmed()) << code << " " << name;
        }
    }
    // Each section is its own translation, not a copy of another.
    QSet<QString> closes;
    for (const auto& [code, keys] : texts)
        closes.insert(keys.at("stClose"));
    EXPECT_EQ(closes.size(), 4);
}

TEST(ShippedLanguageFile, LanguageNamesAreTheSameInEverySection) {
    const auto texts = LoadAll();
    for (const char* name : {"stTurkish", "stEnglish", "stGreek", "stRussian"}) {
        for (const auto& [code, keys] : texts)
            EXPECT_EQ(keys.at(name), texts.at("EN").at(name)) << code << " " << name;
    }
    EXPECT_EQ(texts.at("EN").at("stTurkish"), QStringLiteral(u"Türkçe"));
    EXPECT_EQ(texts.at("EN").at("stRussian"), QStringLiteral(u"Русский"));
    EXPECT_EQ(texts.at("EN").at("stGreek"), QStringLiteral(u"Ελληνικά"));
}

// The manual folders are Doc/<stCountry>: plain names that every file system takes.
TEST(ShippedLanguageFile, CountryNamesArePlainDistinctFolderNames) {
    const auto texts = LoadAll();
    const std::map<std::string, QString> expected = {{"TR", QStringLiteral("Turkish")},
                                                     {"EN", QStringLiteral("English")},
                                                     {"RU", QStringLiteral("Russian")},
                                                     {"EL", QStringLiteral("Greek")}};
    for (const auto& [code, folder] : expected)
        EXPECT_EQ(texts.at(code).at("stCountry"), folder) << code;
}

} // namespace
