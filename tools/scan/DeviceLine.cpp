#include "DeviceLine.h"

#include "ScanOutput.h"
#include "discovery/Upnpthread.h"

std::string FormatDeviceLine(const Korvane::DeviceProperty& device) {
    return TsvLine(RowFields(RowOf(device), false));
}
