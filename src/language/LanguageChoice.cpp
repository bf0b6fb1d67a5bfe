#include "language/LanguageChoice.h"

#include "language/LanguageFile.h"
#include "settings/settings.h"

#include <array>

namespace {

const char* const kLanguageValue = "Language";

constexpr std::array<const char*, LanguageChoice::kLanguageCount> kCodes{"TR", "EN", "RU", "EL"};

} // namespace

LanguageChoice::LanguageChoice(Lang& texts_, int root_, std::string keyPath_,
                               std::function<QString()> filePath_, Apply apply_)
    : texts(texts_), root(root_), keyPath(std::move(keyPath_)), filePath(std::move(filePath_)),
      apply(std::move(apply_)) {}

const char* LanguageChoice::Code(Language language) {
    return kCodes[language];
}

void LanguageChoice::ChooseStored() {
    std::string stored;
    try {
        stored = ReadRegistryValue(root, keyPath, kLanguageValue);
    } catch (const RegistryError&) {
        // A value of another type counts as an unknown one: Turkish is chosen and stored as a
        // string, and start-up goes on.
        stored.clear();
    }
    for (std::size_t index = 0; index < kCodes.size(); ++index) {
        if (stored == kCodes[index]) {
            Choose(static_cast<Language>(index));
            return;
        }
    }
    Choose(Turkish); // nothing stored, and anything else
}

void LanguageChoice::Choose(Language language) {
    const std::string code = Code(language);
    const bool textsRead = LoadLanguage(code, filePath(), texts);
    try {
        WriteRegistryValue(root, keyPath, kLanguageValue, code);
    } catch (const RegistryError&) {
        // Not remembered: this start still uses it, the next one chooses from what is stored.
    }
    // Last, so that a failure while the texts are put on the screen leaves the choice made.
    apply(language, textsRead);
}
