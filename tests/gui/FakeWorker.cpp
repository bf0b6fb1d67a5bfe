#include "FakeWorker.h"

#include <chrono>
#include <system_error>
#include <thread>

FakeWorker::FakeWorker(std::shared_ptr<WorkerScript> plan)
    : UpnpThread([] { return std::vector<std::string>{}; }), script(std::move(plan)) {}

FakeWorker::~FakeWorker() {
    script->destroyed.fetch_add(1);
}

std::thread FakeWorker::LaunchThread(std::function<void()>) {
    if (script->failStart.load()) {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    // Only the base's members and the shared script are touched: the thread may outlive the
    // derived part of the object, whose destructor runs before the base joins.
    return std::thread([this, plan = script] {
        using namespace std::chrono_literals;
        const auto giveUp = std::chrono::steady_clock::now() + 20s;
        while (!plan->finish.load() && std::chrono::steady_clock::now() < giveUp) {
            if (plan->honourStop.load() && !keepRunning.load()) {
                plan->runEnded.store(true);
                return; // stopped on request: running stays set, as with the real worker
            }
            std::this_thread::sleep_for(1ms);
        }
        if (!plan->reportNoList) {
            deviceList = std::make_unique<DeviceList>(plan->devices);
            addressReports = plan->addresses;
            descriptionReports = plan->descriptions;
            searchedNetworks = plan->networks;
        }
        plan->runEnded.store(true);
        running.store(false, std::memory_order_release);
    });
}

std::shared_ptr<Korvane::DeviceProperty> Device(const std::string& name, const std::string& ip) {
    auto record = std::make_shared<Korvane::DeviceProperty>();
    record->friendlyName = name;
    record->ipAddress = ip;
    return record;
}
