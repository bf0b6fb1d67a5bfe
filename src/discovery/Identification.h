#pragma once

#include "discovery/transport/TextLines.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The maker's models; a device's model name, upper-cased, must equal one of them.
inline constexpr std::array<std::string_view, 10> kModelTable = {
    "KT6610RU", "KT6610GR", "KT6610",   "KT5520GR", "KT5520RU",
    "KT5520",   "KT5520UA", "BX-91CUA", "BX-91CRU", "BX-91C"};

// Index of the first line holding text (case-sensitive), or -1.
int FindTagLine(const TextLines& lines, std::string_view text);

// The text between <name> and </name> on the first line holding <name>: "0" when no line
// holds it, empty when the closing tag is not after it on the same line.
std::string ExtractTagValue(const TextLines& lines, std::string_view name);

// Why a description's device is not listed; None when it is.
enum class Rejection {
    None,
    NotFetched,       // the location was refused: it cannot be the device
    Unreadable,       // the description did not arrive in full
    Empty,            // too short to be a description
    OtherMaker,       // the maker's name is not in the manufacturer
    UnsupportedModel, // the model is not one of the table
};

// The maker's name anywhere in the manufacturer, any case; the model one of the table, any
// case. Both as written in the description: references are not decoded for the decision.
Rejection JudgeDevice(std::string_view manufacturer, std::string_view modelName);

// A device's own texts are shown in the list as they come, up to this many bytes.
inline constexpr std::size_t kMaxDisplayText = 256;

// An element's text, as ExtractTagValue gives it, made what a user reads: its references decoded
// once, then ShownText, bounded by kMaxDisplayText.
std::string ShownValue(std::string_view raw);

// ShownValue of the element's text.
std::string ShownElementText(const TextLines& lines, std::string_view name);
