#include "DeviceLine.h"

#include "ScanOutput.h"
#include "Upnpthread.h"

std::string FormatDeviceLine(const Korvane::DeviceProperty& device) {
    return TsvLine(RowFields(RowOf(device), false));
}
