#pragma once

#include <string>

namespace Korvane {
class DeviceProperty;
}

// One output line for a device, without the line break: address, friendly name, model
// number, serial number and description address, tab-separated. The fields are printed as
// the description reader left them: valid UTF-8 without control characters, so that every
// device stays one line of five columns.
std::string FormatDeviceLine(const Korvane::DeviceProperty& device);
