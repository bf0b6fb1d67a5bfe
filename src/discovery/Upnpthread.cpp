#include "discovery/Upnpthread.h"

#include "discovery/Identification.h"
#include "discovery/IdentificationStream.h"
#include "discovery/ReceivePass.h"
#include "discovery/SearchAnswer.h"
#include "discovery/SearchSchedule.h"
#include "discovery/multicast.h"
#include "discovery/transport/BlockSocket.h"
#include "discovery/transport/MultiFetch.h"
#include "discovery/transport/NameLookup.h"

#include <algorithm>
#include <chrono>
#include <iterator>

namespace {

// A burst of answers must not be dropped before it is read; the system caps the size.
constexpr int kSearchSocketBuffer = 1024 * 1024;
// Each fetch has its own bounds; this bounds them all together, so that many devices that
// accept and never answer cannot hold the result back for minutes.
constexpr std::chrono::milliseconds kIdentificationBound{60000};
// A search that reports as it goes sends its request again, as control points should over
// UDP: a request or an answer can be lost. Each device answers each request after a delay of
// its own choosing within MX, so requests close together let the earliest of its draws decide
// when it is heard; 20 ms apart, the copies still fall outside one short burst of interference.
constexpr int kRepeatedRequests = 2;
constexpr std::chrono::milliseconds kRepeatInterval{20};

std::vector<std::string> MachineAddresses() {
    TextLines addresses;
    ResolveNameToIP(LocalName(), addresses);
    return addresses;
}

} // namespace

// The search on one address: the request, then receive passes until the address's tick
// window closes.
class UpnpThread::Search {
public:
    Search(UpnpThread& owner, LocationCollector& locations) : worker(owner), collector(locations) {}

    // False when a stop request was seen before a pass.
    bool OnAddress(const std::string& address, std::size_t index) {
        const auto& target = worker.searchTarget;
        receiver.Open(address, target.receiverPort, target.group);
        socket.AbortSocket();
        socket.SetNonBlockMode(true);
        socket.CreateSocket();
        socket.EnableBroadcast(true);
        socket.SetRecvBufferSize(kSearchSocketBuffer);
        socket.SetMulticastInterface(address);
        socket.SetMulticastLoop(true);
        socket.Bind(address, "0");
        socket.Connect(target.group, target.port);
        const std::string request(worker.streamDescriptions ? kStreamingSearchRequest
                                                            : kSearchRequest);
        socket.SendString(request);
        int repeatsLeft = worker.streamDescriptions ? kRepeatedRequests : 0;
        auto nextRequest = std::chrono::steady_clock::now() + kRepeatInterval;

        const int answersBefore = collector.searchSocketAnswers;
        const int groupBefore = collector.groupDatagrams;
        const int requestsBefore = collector.otherSearchRequests;
        const std::int64_t windowEnd = SearchSchedule::WindowEnd(index);
        RepeatPacing pacing;
        while (worker.searchTick.load(std::memory_order_relaxed) < windowEnd) {
            if (!worker.keepRunning.load(std::memory_order_relaxed)) {
                return false;
            }
            if (repeatsLeft > 0 && std::chrono::steady_clock::now() >= nextRequest) {
                socket.SendString(request);
                --repeatsLeft;
                nextRequest += kRepeatInterval;
            }
            if (worker.streamDescriptions) {
                // The wait ends in time for the next request.
                ReceivePassEither(socket, receiver, collector, pacing,
                                  repeatsLeft > 0 ? nextRequest
                                                  : std::chrono::steady_clock::time_point::max());
            } else {
                ReceivePass(socket, receiver, collector);
            }
            CountHeard();
        }
        TakeWaitingAnswers(socket, receiver, collector);
        CountHeard();
        receiver.Close();
        worker.addressReports.push_back(
            AddressReport{address,
                          {},
                          collector.searchSocketAnswers - answersBefore,
                          collector.groupDatagrams - groupBefore,
                          collector.otherSearchRequests - requestsBefore});
        return true;
    }

private:
    void CountHeard() {
        worker.answersHeard.store(collector.searchSocketAnswers + collector.groupDatagrams,
                                  std::memory_order_relaxed);
    }

    UpnpThread& worker;
    LocationCollector& collector;
    TUDPBlockSocket socket;
    CNetwork receiver;
};

UpnpThread::UpnpThread(AddressSource addresses) : addressSource(std::move(addresses)) {}

UpnpThread::~UpnpThread() {
    if (thread.joinable()) {
        thread.join();
    }
}

std::thread UpnpThread::LaunchThread(std::function<void()> body) {
    return std::thread(std::move(body));
}

bool UpnpThread::Start() {
    if (thread.joinable()) {
        return false;
    }
    keepRunning.store(true, std::memory_order_relaxed);
    running.store(true, std::memory_order_relaxed);
    try {
        thread = LaunchThread([this] { Run(); });
        return true;
    } catch (...) {
        running.store(false, std::memory_order_release);
        return false;
    }
}

void UpnpThread::Run() {
    try {
        if (!SearchAndIdentify()) {
            return; // stopped on request: running stays as it is
        }
    } catch (...) {
        // Any failure ends the run; records already accepted stay in deviceList.
    }
    running.store(false, std::memory_order_release);
}

bool UpnpThread::SearchAndIdentify() {
    deviceList = std::make_unique<DeviceList>();
    locationList = std::make_unique<LocationList>();
    addressReports.clear();
    descriptionReports.clear();
    LocationCollector collector(*locationList);
    std::vector<std::string> senders;
    std::unique_ptr<IdentificationStream> stream;
    if (streamDescriptions) {
        stream = std::make_unique<IdentificationStream>(onDescription);
    }
    collector.onNewLocation = [&senders, &stream](const DeviceLocation& location,
                                                  const std::string& sender) {
        senders.push_back(sender);
        if (stream) {
            stream->Add(location, sender);
        }
    };
    const auto addresses = addressSource ? addressSource() : MachineAddresses();
    std::vector<std::string> searched;
    std::copy_if(addresses.begin(), addresses.end(), std::back_inserter(searched),
                 [](const std::string& address) { return IsSearchedAddress(address); });
    collector.networks = networkSource ? networkSource(searched) : NetworksOf(searched);
    searchedNetworks = collector.networks;
    collector.ownAddresses = searched;
    {
        Search search(*this, collector);
        for (std::size_t index = 0; index < addresses.size(); ++index) {
            const auto skipped = WhyNotSearched(addresses[index]);
            if (!skipped.empty()) {
                addressReports.push_back(AddressReport{addresses[index], skipped, 0, 0});
            } else if (!search.OnAddress(addresses[index], index)) {
                return false;
            }
        }
    }
    // The stop request is not looked at from here on: the fetches are bounded.
    if (stream) {
        descriptionReports = stream->Finish(kIdentificationBound);
        for (const auto& report : descriptionReports) {
            if (report.device) {
                deviceList->push_back(report.device);
            }
        }
    } else {
        IdentifyInOrder(senders);
    }
    return true;
}

void UpnpThread::IdentifyInOrder(const std::vector<std::string>& senders) {
    std::vector<std::string> urls;
    std::vector<std::size_t> fetchedAs; // each location's index in urls; refused ones have none
    for (const auto& location : *locationList) {
        fetchedAs.push_back(urls.size());
        if (location->refusal == LocationRefusal::None) {
            urls.push_back(location->url);
        }
    }
    const auto results = FetchAll(urls, kIdentificationBound);
    const FetchResult notFetched{};
    for (std::size_t i = 0; i < locationList->size(); ++i) {
        const auto& location = *(*locationList)[i];
        const FetchResult& result =
            location.refusal == LocationRefusal::None ? results[fetchedAs[i]] : notFetched;
        auto report =
            ReadDescription(location, senders[i], result.fetched, result.body, result.failure);
        if (onDescription) {
            onDescription(report);
        }
        if (report.device) {
            deviceList->push_back(report.device);
        }
        descriptionReports.push_back(std::move(report));
    }
}
