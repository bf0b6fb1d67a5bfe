#pragma once

#include "discovery/Upnpthread.h"

// Appends to `into` each record of `from` whose ipAddress (compared byte for byte, letter case
// included) no record of `into` has yet, records appended earlier in the same merge included.
// The pointers are shared, the records not copied.
void MergeDevices(DeviceList& into, const DeviceList& from);
