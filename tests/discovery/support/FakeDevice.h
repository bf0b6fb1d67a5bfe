#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A device on 127.0.0.1 that answers each search datagram with the given answers (sent
// back to the searcher) and announcements (sent to 127.0.0.1 at announcePort, where the
// worker's group receiver listens in tests).
class FakeDevice {
public:
    FakeDevice(std::vector<std::string> answers, std::vector<std::string> announcements = {},
               int announcePort = 0);
    ~FakeDevice();
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    int Port() const { return port; }
    std::vector<std::string> Searches() const;
    // True once a search came within timeoutMs.
    bool WaitForSearch(int timeoutMs) const;

private:
    void Serve();

    std::vector<std::string> answers;
    std::vector<std::string> announcements;
    int announcePort;
    int fd = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    mutable std::mutex lock;
    std::vector<std::string> searches;
    std::thread thread;
};

// A UDP port on 127.0.0.1 that was free a moment ago.
int FreeUdpPort();

// Sends one datagram to 127.0.0.1 at port, from the loopback address from.
void SendDatagram(int port, const std::string& bytes, const std::string& from = "127.0.0.1");

// Polls condition every 10 ms until it holds or timeoutMs have passed.
template <typename Condition> bool WaitUntil(Condition condition, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}
