#pragma once

#include "discovery/Devices.h"
#include "discovery/transport/TextLines.h"

#include <memory>
#include <string>

// What a run read of one description address, whether or not the device is listed, so that
// a user can see why a device is missing. The decision is IdentifyDevice's.
struct DescriptionReport {
    std::string host;
    std::string url;
    std::string sender;  // the address whose datagram first named this description
    bool read = false;   // the description arrived in full
    std::string failure; // why it did not
    // Not None when the location was refused and never fetched (failure then says why).
    LocationRefusal refusal = LocationRefusal::None;
    std::string manufacturer;
    std::string modelName;
    std::string friendlyName;
    // The record the run lists; null when the device is not listed.
    std::shared_ptr<Korvane::DeviceProperty> device;
    // Why the device is not listed; empty when it is.
    std::string rejection;
};

// Reads one fetched description as the identification does and says why a device is not
// listed. failure is the fetch's reason when it did not complete. A refused location gives
// its refusal, whatever else is passed.
DescriptionReport ReadDescription(const DeviceLocation& location, const std::string& sender,
                                  bool fetched, const std::string& body,
                                  const std::string& failure);
