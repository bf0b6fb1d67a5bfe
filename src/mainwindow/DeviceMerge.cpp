#include "mainwindow/DeviceMerge.h"

#include <algorithm>

void MergeDevices(DeviceList& into, const DeviceList& from) {
    for (const auto& record : from) {
        if (!record) {
            continue;
        }
        const bool known = std::any_of(into.begin(), into.end(), [&](const auto& kept) {
            return kept && kept->ipAddress == record->ipAddress;
        });
        if (!known) {
            into.push_back(record);
        }
    }
}
