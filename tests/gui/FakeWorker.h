#pragma once

#include "discovery/Upnpthread.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

// What a fake worker does: it runs until told to finish (or, if it honours stop requests, until
// asked to stop), then reports its devices and clears running, as the real worker does.
struct WorkerScript {
    std::atomic<bool> finish{false};
    std::atomic<bool> failStart{false};
    std::atomic<bool> honourStop{true};
    std::atomic<bool> runEnded{false};
    std::atomic<int> destroyed{0};
    bool reportNoList = false;
    DeviceList devices;
    // What the run saw, handed over with the devices: by default one address that was answered.
    std::vector<AddressReport> addresses{{"192.0.2.100", {}, 1, 0}};
    std::vector<DescriptionReport> descriptions;
    std::vector<Ipv4Network> networks;

    void Finish() { finish.store(true); }
};

class FakeWorker : public UpnpThread {
public:
    explicit FakeWorker(std::shared_ptr<WorkerScript> script);
    ~FakeWorker() override;

protected:
    std::thread LaunchThread(std::function<void()> body) override;

private:
    std::shared_ptr<WorkerScript> script;
};

std::shared_ptr<Korvane::DeviceProperty> Device(const std::string& name, const std::string& ip);
