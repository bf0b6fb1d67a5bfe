#pragma once

#include <algorithm>
#include <string>
#include <string_view>

// Upper case of the ASCII letters only: the protocol's words are ASCII, and the locale must
// not change how a device's text compares.
constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return AsciiUpper(c); });
    return upper;
}
