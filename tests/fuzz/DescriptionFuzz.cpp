// libFuzzer target: a device description as the identification reads it, through the tag
// extraction and the acceptance of maker and model.
#include "discovery/Identification.h"
#include "discovery/XmlReferences.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const TextLines lines = SplitTextToLines(text);

    for (const char* name :
         {"modelName", "manufacturer", "friendlyName", "modelNumber", "serialNumber", ""}) {
        const std::string value = ExtractTagValue(lines, name);
        const int line = FindTagLine(lines, "<" + std::string(name) + ">");
        // The value is "0" without the tag, else a piece of the line that holds it.
        const bool consistent =
            line < 0 ? value == "0"
                     : lines[static_cast<std::size_t>(line)].find(value) != std::string::npos;
        if (!consistent)
            std::abort();
    }

    const auto device =
        IdentifyDevice(DeviceLocation{"192.0.2.10", "http://192.0.2.10:5000/d.xml"}, lines);
    if (device != nullptr && !IsAcceptedDevice(ExtractTagValue(lines, "manufacturer"),
                                               ExtractTagValue(lines, "modelName")))
        std::abort();
    // A reference is never shorter than what it stands for.
    if (DecodeXmlReferences(text).size() > text.size())
        std::abort();
    // The acceptance alone, on two halves of the input.
    IsAcceptedDevice(text.substr(0, size / 2), text.substr(size / 2));
    return 0;
}
