#pragma once

#include "discovery/DescriptionReport.h"

#include <cstddef>
#include <string>
#include <vector>

// One device as pathmere-scan prints it. listed and reason matter with --all only.
struct ScanRow {
    std::string address;
    std::string friendlyName;
    std::string modelNumber;
    std::string serialNumber;
    std::string location;
    std::string manufacturer;
    std::string modelName;
    bool listed = true;
    std::string reason; // why it is not listed
};

ScanRow RowOf(const Korvane::DeviceProperty& device);
ScanRow RowOf(const DescriptionReport& report);

// The columns of a row in print order; with all, those of --all too.
std::vector<std::string> RowFields(const ScanRow& row, bool all);
std::vector<std::string> ColumnNames(bool all);

std::string TsvLine(const std::vector<std::string>& fields);
// RFC 4180: a field holding a comma, a quote or a line break is quoted, quotes doubled.
std::string CsvLine(const std::vector<std::string>& fields);

// An aligned table, one line per call. Columns are as wide as given, longer texts cut with an
// ellipsis; the last column is never padded or cut.
class TextTable {
public:
    explicit TextTable(std::vector<std::size_t> columnWidths) : widths(std::move(columnWidths)) {}
    // Widths for a stream, where the rows are not known yet.
    static TextTable ForStream(bool all);
    // Widths that fit these rows (and the column names), up to a bound per column.
    static TextTable Fitting(const std::vector<std::vector<std::string>>& rows, bool all);

    std::string Line(const std::vector<std::string>& fields) const;

private:
    std::vector<std::size_t> widths;
};
