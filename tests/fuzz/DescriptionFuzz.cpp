// libFuzzer target: a device description as the identification reads it, through the tag
// extraction, the acceptance of maker and model and the texts shown.
#include "discovery/DescriptionReport.h"
#include "discovery/Identification.h"
#include "discovery/ShownText.h"
#include "discovery/XmlReferences.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

    // The reader: a device is listed exactly when it is accepted, and every text a user may see
    // is as shown (ShownText leaves it as it is) and bounded.
    const auto report =
        ReadDescription(DeviceLocation{"192.0.2.10", "http://192.0.2.10:5000/d.xml"}, "192.0.2.10",
                        true, std::string(text), {});
    const bool accepted = JoinLines(lines).size() > 10 &&
                          JudgeDevice(ExtractTagValue(lines, "manufacturer"),
                                      ExtractTagValue(lines, "modelName")) == Rejection::None;
    if ((report.device != nullptr) != accepted || (report.rejection == Rejection::None) != accepted)
        std::abort();
    std::vector<std::string> shown{report.manufacturer, report.modelName, report.friendlyName};
    if (report.device) {
        shown.insert(shown.end(), {report.device->modelNumber, report.device->serialNumber});
    }
    for (const auto& value : shown) {
        if (value.size() > kMaxDisplayText || ShownText(value) != value)
            std::abort();
    }
    // A reference is never shorter than what it stands for.
    if (DecodeXmlReferences(text).size() > text.size())
        std::abort();
    // The acceptance alone, on two halves of the input.
    JudgeDevice(text.substr(0, size / 2), text.substr(size / 2));
    return 0;
}
