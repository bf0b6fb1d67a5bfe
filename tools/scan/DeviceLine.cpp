#include "DeviceLine.h"

#include "Upnpthread.h"

namespace {

std::string Field(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

} // namespace

std::string FormatDeviceLine(const Korvane::DeviceProperty& device) {
    return Field(device.ipAddress) + '\t' + Field(device.friendlyName) + '\t' +
           Field(device.modelNumber) + '\t' + Field(device.serialNumber) + '\t' +
           Field(device.location);
}
