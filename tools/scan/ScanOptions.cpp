#include "ScanOptions.h"

#include "discovery/SearchSchedule.h"

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

OutputForm FormNamed(std::string_view name) {
    if (name == "--table")
        return OutputForm::Table;
    if (name == "--tsv")
        return OutputForm::Tsv;
    if (name == "--csv")
        return OutputForm::Csv;
    if (name == "--json")
        return OutputForm::Json;
    return OutputForm::Automatic;
}

} // namespace

const char* ScanUsage() {
    return "usage: pathmere-scan [--seconds N | --tick-ms M] [--table | --tsv | --csv | --json]\n"
           "                     [--stream | --no-stream] [--all] [--stats]\n"
           "  Searches the local network once and lists the Korvane devices found:\n"
           "  address, friendly name, model number, serial number, description address;\n"
           "  then, for a table, what the search heard on each local address and advice.\n"
           "  --seconds N   listen on the first address for N seconds (default 5; 2.5 works)\n"
           "  --tick-ms M   feed the search a tick every M milliseconds instead\n"
           "  --table       an aligned table (the default on a terminal)\n"
           "  --tsv         tab-separated lines (the default otherwise)\n"
           "  --csv         comma-separated values with a header line (RFC 4180)\n"
           "  --json        one JSON document: devices, addresses searched, diagnosis\n"
           "  --stream      print each device as soon as it is found (the default on a\n"
           "                terminal); --no-stream prints them all at the end\n"
           "  --all         every device whose description was read, and why it is not listed\n"
           "  --stats       print the search's CPU time and added memory on stderr\n"
           "  --version     print the version\n"
           "Exit status: 0 after a completed search, whatever it found; 1 when no usable\n"
           "address existed; 2 for bad arguments.\n";
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
        if (name == "--all") {
            options.all = true;
            continue;
        }
        if (name == "--stream" || name == "--no-stream") {
            options.streaming = name == "--stream" ? Streaming::On : Streaming::Off;
            continue;
        }
        if (const auto form = FormNamed(name); form != OutputForm::Automatic) {
            if (options.form != OutputForm::Automatic && options.form != form) {
                error = "choose one of --table, --tsv, --csv and --json";
                return false;
            }
            options.form = form;
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
            options.seconds = value;
        } else {
            if (!ParsePositive(text, kMaxSeconds * 1000.0, value) || value != std::floor(value)) {
                error =
                    "--tick-ms takes a positive whole number of milliseconds, not \"" + text + "\"";
                return false;
            }
            options.tickPeriod = std::chrono::milliseconds(static_cast<long long>(value));
            options.seconds = SearchSchedule::FirstWindowSeconds(options.tickPeriod).count();
        }
    }
    return true;
}
