#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
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
};

using DeviceList = std::vector<std::shared_ptr<Korvane::DeviceProperty>>;
using LocationList = std::vector<std::unique_ptr<DeviceLocation>>;

// The discovery worker: one search run on a thread of its own.
class UpnpThread {
public:
    UpnpThread();
    virtual ~UpnpThread(); // waits until Run has returned
    UpnpThread(const UpnpThread&) = delete;
    UpnpThread& operator=(const UpnpThread&) = delete;

    // Starts the thread; swallows a failure to start and then returns false.
    bool Start();

    // Hand-over with the main window, no lock: the main window writes searchTick and
    // keepRunning; the worker fills its lists and clears running last, with release order,
    // so that a reader who loads running == false with acquire order sees deviceList complete.
    std::atomic<std::int32_t> searchTick{0};
    std::atomic<bool> keepRunning{true};
    std::atomic<bool> running{false};
    std::unique_ptr<DeviceList> deviceList;
    std::unique_ptr<LocationList> locationList;

protected:
    virtual void Run();

private:
    std::thread thread;
};
