#pragma once

#include <string>
#include <string_view>
#include <vector>

using TextLines = std::vector<std::string>;

// A line ends at CR LF, a lone CR or a lone LF; a NUL byte ends the whole text.
// An empty text gives no lines, and a final line break adds no empty line.
TextLines SplitTextToLines(std::string_view text);

// Each line followed by CR LF.
std::string JoinLines(const TextLines& lines);

// Drops leading and trailing characters with codes up to 32 (blanks and controls).
std::string TrimControl(std::string_view text);
