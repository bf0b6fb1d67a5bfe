#include "ScanOptions.h"

#include "SearchSchedule.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

// An hour is far beyond any useful search; the bound keeps the tick period representable.
constexpr double kMaxSeconds = 3600.0;

bool ParsePositive(const std::string& text, double max, double& value) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value) && value > 0 && value <= max;
}

} // namespace

const char* ScanUsage() {
    return "usage: pathmere-scan [--seconds N | --tick-ms M] [--stats]\n"
           "  Searches the local network once and prints one line per device found:\n"
           "  address, friendly name, model number, serial number, description address.\n"
           "  --seconds N   listen on the first address for N seconds (default 5)\n"
           "  --tick-ms M   feed the search a tick every M milliseconds instead\n"
           "  --stats       print the search's CPU time and added memory on stderr\n";
}

bool ParseScanOptions(int argc, const char* const* argv, ScanOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--stats") {
            options.stats = true;
            continue;
        }
        if (name != "--seconds" && name != "--tick-ms") {
            error = "unknown option: " + std::string(name);
            return false;
        }
        if (i + 1 >= argc) {
            error = std::string(name) + " needs a value";
            return false;
        }
        const std::string text = argv[++i];
        double value = 0;
        if (name == "--seconds") {
            if (!ParsePositive(text, kMaxSeconds, value)) {
                error =
                    "--seconds takes a positive number of seconds up to 3600, not \"" + text + "\"";
                return false;
            }
            options.tickPeriod =
                SearchSchedule::TickPeriodFor(std::chrono::duration<double>(value));
        } else {
            if (!ParsePositive(text, kMaxSeconds * 1000.0, value) || value != std::floor(value)) {
                error =
                    "--tick-ms takes a positive whole number of milliseconds, not \"" + text + "\"";
                return false;
            }
            options.tickPeriod = std::chrono::milliseconds(static_cast<long long>(value));
        }
    }
    return true;
}
