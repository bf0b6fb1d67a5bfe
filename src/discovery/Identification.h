#pragma once

#include "discovery/Devices.h"
#include "discovery/transport/TextLines.h"

#include <array>
#include <cstddef>
#include <memory>
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

// The maker's name anywhere in the manufacturer, any case; the model one of the table.
bool IsAcceptedDevice(std::string_view manufacturer, std::string_view modelName);

// A device's own texts are shown in the list as they come, up to this many bytes.
inline constexpr std::size_t kMaxDisplayText = 256;

// A text from a description made fit to show: control characters become spaces, and a text
// over kMaxDisplayText bytes is cut there, never inside a UTF-8 sequence.
std::string DisplayText(std::string_view raw);

// An element's text as a user reads it: its references decoded once, then DisplayText.
std::string ShownElementText(const TextLines& lines, std::string_view name);

// The record of an accepted device (its texts as ShownElementText gives them) described by lines,
// fetched from location; null when the description is too short to be one or the device is not
// accepted.
std::shared_ptr<Korvane::DeviceProperty> IdentifyDevice(const DeviceLocation& location,
                                                        const TextLines& lines);
