#pragma once

#include "discovery/LocationCheck.h"

#include <memory>
#include <string>
#include <vector>

namespace Korvane {

// One accepted device. Fields 2 and 7 to 9 are kept empty for layout compatibility.
class DeviceProperty {
public:
    std::string ipAddress;
    std::string spare1;
    std::string friendlyName;
    std::string modelNumber;
    std::string serialNumber;
    std::string location;
    std::string spare2;
    std::string spare3;
    std::string spare4;
};

} // namespace Korvane

// One distinct description address heard during the search phase.
struct DeviceLocation {
    std::string host;
    std::string url;
    // Decided when the address is first heard; a refused one is reported, never fetched.
    LocationRefusal refusal = LocationRefusal::None;
};

// Records are shared: the main window keeps those it copies, the last holder frees them.
using DeviceList = std::vector<std::shared_ptr<Korvane::DeviceProperty>>;
using LocationList = std::vector<std::unique_ptr<DeviceLocation>>;
