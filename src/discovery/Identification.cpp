#include "discovery/Identification.h"

#include "discovery/AsciiText.h"
#include "discovery/ShownText.h"
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

Rejection JudgeDevice(std::string_view manufacturer, std::string_view modelName) {
    if (AsciiUpper(manufacturer).find("KORVANE") == std::string::npos) {
        return Rejection::OtherMaker;
    }
    const auto model = AsciiUpper(modelName);
    return std::find(kModelTable.begin(), kModelTable.end(), model) != kModelTable.end()
               ? Rejection::None
               : Rejection::UnsupportedModel;
}

std::string ShownValue(std::string_view raw) {
    return ShownText(DecodeXmlReferences(raw), kMaxDisplayText);
}

std::string ShownElementText(const TextLines& lines, std::string_view name) {
    return ShownValue(ExtractTagValue(lines, name));
}
