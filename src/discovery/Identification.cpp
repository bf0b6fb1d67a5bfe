#include "discovery/Identification.h"

#include "discovery/AsciiText.h"
#include "discovery/XmlReferences.h"

#include <algorithm>

int FindTagLine(const TextLines& lines, std::string_view text) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(text) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string ExtractTagValue(const TextLines& lines, std::string_view name) {
    const auto open = "<" + std::string(name) + ">";
    const auto close = "</" + std::string(name) + ">";
    const int index = FindTagLine(lines, open);
    if (index < 0) {
        return "0";
    }
    const auto& line = lines[static_cast<std::size_t>(index)];
    const auto start = line.find(open) + open.size();
    const auto end = line.find(close);
    if (end == std::string::npos || end < start) {
        return {};
    }
    return line.substr(start, end - start);
}

bool IsAcceptedDevice(std::string_view manufacturer, std::string_view modelName) {
    if (AsciiUpper(manufacturer).find("KORVANE") == std::string::npos) {
        return false;
    }
    const auto model = AsciiUpper(modelName);
    return std::find(kModelTable.begin(), kModelTable.end(), model) != kModelTable.end();
}

std::string DisplayText(std::string_view raw) {
    std::string text(raw.substr(0, kMaxDisplayText));
    // Never end inside a UTF-8 sequence: a lead byte whose sequence the cut shortened goes,
    // with what follows it.
    if (raw.size() > kMaxDisplayText) {
        std::size_t lead = text.size();
        while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xc0) == 0x80)
            --lead;
        if (lead > 0) {
            const auto first = static_cast<unsigned char>(text[lead - 1]);
            const std::size_t length = first >= 0xf0   ? 4
                                       : first >= 0xe0 ? 3
                                       : first >= 0xc0 ? 2
                                                       : 1;
            if (text.size() - (lead - 1) < length)
                text.resize(lead - 1);
        }
    }
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    }
    return text;
}

std::string ShownElementText(const TextLines& lines, std::string_view name) {
    return DisplayText(DecodeXmlReferences(ExtractTagValue(lines, name)));
}

std::shared_ptr<Korvane::DeviceProperty> IdentifyDevice(const DeviceLocation& location,
                                                        const TextLines& lines) {
    if (JoinLines(lines).size() <= 10) {
        return nullptr;
    }
    const auto modelName = ExtractTagValue(lines, "modelName");
    const auto manufacturer = ExtractTagValue(lines, "manufacturer");
    if (!IsAcceptedDevice(manufacturer, modelName)) {
        return nullptr;
    }
    auto device = std::make_shared<Korvane::DeviceProperty>();
    device->ipAddress = location.host;
    device->location = location.url;
    device->friendlyName = ShownElementText(lines, "friendlyName");
    device->modelNumber = ShownElementText(lines, "modelNumber");
    device->serialNumber = ShownElementText(lines, "serialNumber");
    return device;
}
