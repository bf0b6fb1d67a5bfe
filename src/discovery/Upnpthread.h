#pragma once

#include "discovery/DescriptionReport.h"
#include "discovery/Devices.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The local addresses a run searches, in order; an empty source means the machine's own
// (LocalName resolved by ResolveNameToIP).
using AddressSource = std::function<std::vector<std::string>()>;

// The networks of the searched addresses, whose hosts a location may name (CheckLocation); an
// empty source means the system's own (NetworksOf).
using NetworkSource =
    std::function<std::vector<Ipv4Network>(const std::vector<std::string>& searched)>;

// The group the search request goes to and the receiver joins, and their ports. Tests
// point it at a loopback address, which no receiver can join; the program keeps the
// SSDP defaults.
struct SearchTarget {
    std::string group = "239.255.255.250";
    std::string port = "1900";
    int receiverPort = 1900;
};

// How one local address fared in a run.
struct AddressReport {
    std::string address;
    std::string skipped; // why it was not searched; empty when it was
    int searchSocketAnswers = 0;
    int groupDatagrams = 0;      // search requests not counted, our own looped back among them
    int otherSearchRequests = 0; // heard on the group from other computers
};

// The discovery worker: one search run on a thread of its own.
class UpnpThread {
public:
    explicit UpnpThread(AddressSource addresses = {});
    virtual ~UpnpThread(); // waits until the run has returned
    UpnpThread(const UpnpThread&) = delete;
    UpnpThread& operator=(const UpnpThread&) = delete;

    // Starts the thread once, with keepRunning and running set. A failure to start is
    // swallowed: the result is then false and running is cleared, so that a caller watching
    // running sees the search end.
    bool Start();

    // Hand-over with the main window, no lock: the main window writes searchTick and
    // keepRunning; the worker fills its lists and clears running last, with release order,
    // so that a reader who loads running == false with acquire order sees deviceList complete.
    std::atomic<std::int32_t> searchTick{0};
    std::atomic<bool> keepRunning{true};
    std::atomic<bool> running{false};
    std::unique_ptr<DeviceList> deviceList;
    std::unique_ptr<LocationList> locationList;

    // Set before Start; read by the run only.
    SearchTarget searchTarget;
    NetworkSource networkSource;
    // With streamDescriptions each description is fetched as soon as its location is
    // heard, beside the search, the search request goes out twice more 20 ms apart, and
    // deviceList holds the accepted devices in the order they were read. Without it (the window's
    // way) they are fetched once the search has ended and listed in the order of locationList.
    bool streamDescriptions = false;
    // Called once per description address with what was read of it: on the worker's
    // thread, or the stream's with streamDescriptions. It must not touch the worker.
    std::function<void(const DescriptionReport&)> onDescription;

    // Written by the run and handed over like deviceList: read only after running falls.
    std::vector<AddressReport> addressReports;
    // What was read of each description address, listed or not, in the order of deviceList's
    // run; and the networks of the searched addresses.
    std::vector<DescriptionReport> descriptionReports;
    std::vector<Ipv4Network> searchedNetworks;
    // Datagrams heard so far, for a progress display only: relaxed, nothing rides on it.
    std::atomic<int> answersHeard{0};

protected:
    // Creates the running thread; tests override it to make the start fail.
    virtual std::thread LaunchThread(std::function<void()> body);

private:
    class Search;

    void Run();
    // False when a stop request ended the search phase.
    bool SearchAndIdentify();
    void IdentifyInOrder(const std::vector<std::string>& senders);

    AddressSource addressSource;
    std::thread thread;
};
