#include "version/VersionOption.h"

#include "version/Version.h"

#include <cstdio>
#include <string_view>

bool PrintVersionIfAsked(int argc, const char* const* argv, const char* program) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            std::printf("%s %s\n", program, kPathmereVersion);
            return true;
        }
    }
    return false;
}
