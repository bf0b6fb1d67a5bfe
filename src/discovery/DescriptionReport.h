#pragma once

#include "discovery/Devices.h"
#include "discovery/Identification.h"

#include <memory>
#include <string>

// What a run read of one description address, whether or not the device is listed, so that
// a user can see why a device is missing. Every text in it is as shown (ShownText): cleaned
// here, once, for the window and pathmere-scan alike.
struct DescriptionReport {
    std::string host;
    std::string url;
    std::string sender; // the address whose datagram first named this description
    // None exactly when device is set; a report not read yet counts as unreadable.
    Rejection rejection = Rejection::Unreadable;
    std::string failure; // NotFetched, Unreadable: why
    // Not None when the location was refused and never fetched.
    LocationRefusal refusal = LocationRefusal::None;
    // What the description calls its device, as shown (ShownElementText); "0" for an element
    // it lacks, empty when it was not read.
    std::string manufacturer;
    std::string modelName;
    std::string friendlyName;
    // The record the run lists; null when the device is not listed.
    std::shared_ptr<Korvane::DeviceProperty> device;
};

// The description arrived in full, whether or not its device is listed.
bool WasRead(const DescriptionReport& report);

// Why the device is not listed, in words; empty when it is.
std::string RejectionText(const DescriptionReport& report);

// Reads one fetched description, once: decides whether its device is listed and why not, and
// takes the texts a user sees. failure is the fetch's reason when it did not complete. A
// refused location gives its refusal, whatever else is passed.
DescriptionReport ReadDescription(const DeviceLocation& location, const std::string& sender,
                                  bool fetched, const std::string& body,
                                  const std::string& failure);
