// Loads every language of the program's lang.xml many times and prints the mean time of one
// load; the program loads one at start-up and one per change of language.
#include "language/Language.h"
#include "language/LanguageFile.h"

#include <QString>
#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const QString path = QString::fromLocal8Bit(argc > 1 ? argv[1] : PATHMERE_LANG_XML);
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 2000;
    Lang& table = Lang::Instance();
    for (const char* code : {"TR", "EN", "RU", "EL"}) {
        if (!LoadLanguage(code, path, table)) {
            std::fprintf(stderr, "cannot load %s from %s\n", code, qPrintable(path));
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < rounds; ++i)
            LoadLanguage(code, path, table);
        const std::chrono::duration<double, std::micro> spent =
            std::chrono::steady_clock::now() - start;
        std::printf("%s: %.1f us per load (%d loads)\n", code, spent.count() / rounds, rounds);
    }
    return 0;
}
