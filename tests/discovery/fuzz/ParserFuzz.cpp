// libFuzzer target for the parsers that read what the network sends: search answers and
// announcements, and device descriptions.
#include "discovery/Identification.h"
#include "discovery/SearchAnswer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto lines = SplitTextToLines(TrimControl(text));

    LocationList list;
    LocationCollector collector(list);
    ParseSearchAnswer(collector, lines, "192.0.2.1");
    ParseSearchAnswer(collector, SplitTextToLines(text), "192.0.2.2");
    for (const auto& entry : list) {
        if (entry->host.size() > entry->url.size()) {
            std::abort();
        }
    }
    IsIPv4Text(text);

    for (const auto* name : {"modelName", "manufacturer", "friendlyName", ""}) {
        const auto value = ExtractTagValue(lines, name);
        const int line = FindTagLine(lines, "<" + std::string(name) + ">");
        const bool consistent =
            line < 0 ? value == "0"
                     : lines[static_cast<std::size_t>(line)].find(value) != std::string::npos;
        if (!consistent) {
            std::abort();
        }
    }
    IdentifyDevice(DeviceLocation{"192.0.2.10", "http://192.0.2.10/d.xml"}, lines);
    return 0;
}
