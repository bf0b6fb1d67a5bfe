#pragma once

#include "language/Language.h"

#include <QString>
#include <cstddef>
#include <functional>
#include <string>

// The interface language, without widgets: which one is chosen, its texts read from lang.xml
// into the table, put on the screen through a callback, and the choice remembered in the
// settings store for the next start.
class LanguageChoice {
public:
    // In the order of the store's codes; Turkish first, the fallback.
    enum Language : std::size_t { Turkish, English, Russian, Greek };
    static constexpr std::size_t kLanguageCount = 4;

    // Runs after every choice, read or not: textsRead is false when the file did not give the
    // language's every text; the table then holds what the loader had read before it stopped.
    using Apply = std::function<void(Language chosen, bool textsRead)>;

    // root and keyPath name where the store keeps the choice; filePath finds lang.xml at each
    // choice.
    LanguageChoice(Lang& texts, int root, std::string keyPath, std::function<QString()> filePath,
                   Apply apply);

    // The language an earlier choice stored; Turkish when none is stored, or anything else is
    // (a value of another type too).
    void ChooseStored();
    // Reads, remembers and applies. A choice that cannot be remembered still holds.
    void Choose(Language language);

    // The code of a language: its section's ID in lang.xml and the value stored ("TR").
    static const char* Code(Language language);

private:
    Lang& texts;
    int root;
    std::string keyPath;
    std::function<QString()> filePath;
    Apply apply;
};
