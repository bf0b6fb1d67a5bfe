#pragma once

#include <string>

namespace Korvane {
class DeviceProperty;
}

// One output line for a device, without the line break: address, friendly name, model
// number, serial number and description address, tab-separated. A tab or line break inside
// a field becomes a blank, so that every device stays one line of five columns; other
// control characters and bytes that are not UTF-8 become U+FFFD.
std::string FormatDeviceLine(const Korvane::DeviceProperty& device);
