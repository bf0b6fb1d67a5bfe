#include "ScanOutput.h"

#include "TextColumns.h"

#include <algorithm>

namespace {

constexpr std::size_t kWidestColumn = 40;
// A terminal's usual width, which a table's line keeps to; the description address, last,
// takes what the other columns leave, and never less than this.
constexpr std::size_t kTerminalWidth = 80;
constexpr std::size_t kNarrowestLast = 16;
constexpr std::size_t kNarrowestOther = 10;

} // namespace

ScanRow RowOf(const Korvane::DeviceProperty& device) {
    ScanRow row;
    row.address = device.ipAddress;
    row.friendlyName = device.friendlyName;
    row.modelNumber = device.modelNumber;
    row.serialNumber = device.serialNumber;
    row.location = device.location;
    return row;
}

ScanRow RowOf(const DescriptionReport& report) {
    ScanRow row = report.device ? RowOf(*report.device) : ScanRow{};
    if (!report.device) {
        row.address = report.host;
        row.friendlyName = report.friendlyName;
        row.location = report.url;
    }
    row.manufacturer = report.manufacturer;
    row.modelName = report.modelName;
    row.listed = report.device != nullptr;
    row.reason = RejectionText(report);
    return row;
}

std::vector<std::string> RowFields(const ScanRow& row, bool all) {
    std::vector<std::string> fields{row.address, row.friendlyName, row.modelNumber,
                                    row.serialNumber, row.location};
    if (all) {
        fields.insert(fields.end(),
                      {row.manufacturer, row.modelName, row.listed ? "yes" : "no", row.reason});
    }
    return fields;
}

std::vector<std::string> ColumnNames(bool all) {
    std::vector<std::string> names{"address", "friendly_name", "model_number", "serial_number",
                                   "location"};
    if (all) {
        names.insert(names.end(), {"manufacturer", "model_name", "listed", "reason"});
    }
    return names;
}

std::string TsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        line += (i == 0 ? "" : "\t") + fields[i];
    }
    return line;
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto& field = fields[i];
        line += i == 0 ? "" : ",";
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            line += field;
            continue;
        }
        line += '"';
        for (const char c : field) {
            line += c == '"' ? std::string("\"\"") : std::string(1, c);
        }
        line += '"';
    }
    return line;
}

TextTable TextTable::ForStream(bool all) {
    if (all) {
        return TextTable({15, 24, 12, 14, 40, 16, 12, 6, 0});
    }
    return TextTable({15, 20, 10, 12, 15});
}

TextTable TextTable::Fitting(const std::vector<std::vector<std::string>>& rows, bool all) {
    std::vector<std::size_t> widths;
    for (const auto& name : ColumnNames(all)) {
        widths.push_back(name.size());
    }
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], std::min(TextWidth(row[i]), kWidestColumn));
        }
    }
    // Without --all the address is last: the widest column before it gives way until it has
    // its least room, and it is cut to what is left. With --all the line is wider anyway.
    if (!all) {
        const auto before = [&widths] {
            std::size_t used = 0;
            for (std::size_t i = 0; i + 1 < widths.size(); ++i) {
                used += widths[i] + 2;
            }
            return used;
        };
        // The device's own address is never cut.
        while (before() + kNarrowestLast > kTerminalWidth) {
            auto widest = std::max_element(widths.begin() + 1, widths.end() - 1);
            if (*widest <= kNarrowestOther) {
                break;
            }
            --*widest;
        }
        widths.back() = kTerminalWidth - std::min(before(), kTerminalWidth - kNarrowestLast);
    }
    return TextTable(std::move(widths));
}

std::string TextTable::Line(const std::vector<std::string>& fields) const {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const bool last = i + 1 == fields.size();
        const auto width = i < widths.size() ? widths[i] : 0;
        if (last) {
            line += width == 0 ? fields[i] : CutText(fields[i], width);
            break;
        }
        const auto text = CutText(fields[i], width);
        line += text + std::string(width - TextWidth(text) + 2, ' ');
    }
    return line;
}
