#include "Upnpthread.h"

#include "Identification.h"
#include "ReceivePass.h"
#include "SearchAnswer.h"
#include "SearchSchedule.h"
#include "multicast.h"
#include "transport/BlockSocket.h"
#include "transport/HttpGet.h"
#include "transport/NameLookup.h"

namespace {

// A burst of answers must not be dropped before it is read; the system caps the size.
constexpr int kSearchSocketBuffer = 1024 * 1024;

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
        socket.SendString(std::string(kSearchRequest));

        const std::int64_t windowEnd = SearchSchedule::WindowEnd(index);
        while (worker.searchTick.load(std::memory_order_relaxed) < windowEnd) {
            if (!worker.keepRunning.load(std::memory_order_relaxed)) {
                return false;
            }
            ReceivePass(socket, receiver, collector);
        }
        TakeWaitingAnswers(socket, receiver, collector);
        receiver.Close();
        return true;
    }

private:
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
    LocationCollector collector(*locationList);
    {
        Search search(*this, collector);
        const auto addresses = addressSource ? addressSource() : MachineAddresses();
        for (std::size_t index = 0; index < addresses.size(); ++index) {
            if (IsSearchedAddress(addresses[index]) && !search.OnAddress(addresses[index], index)) {
                return false;
            }
        }
    }
    // The stop request is not looked at here: each fetch is bounded on its own.
    for (const auto& location : *locationList) {
        TextLines lines;
        if (!HttpGetText(location->url, lines)) {
            continue;
        }
        if (auto device = IdentifyDevice(*location, lines)) {
            deviceList->push_back(std::move(device));
        }
    }
    return true;
}
