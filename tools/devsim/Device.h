#pragma once

#include "Options.h"
#include "files/FileDescriptor.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <vector>

// The simulated device: an SSDP responder and announcer plus a small HTTP server, all on
// one poll loop.
class SimulatedDevice {
public:
    explicit SimulatedDevice(DevsimOptions options);

    // Opens every socket; on failure returns false and sets error.
    bool Open(std::string& error);

    // Serves until stop becomes true or the lifetime ends.
    void Serve(const std::atomic<bool>& stop);

private:
    using Clock = std::chrono::steady_clock;

    struct PendingAnswer {
        Clock::time_point due;
        std::vector<unsigned char> to; // a sockaddr_in
        std::string datagram;
    };
    struct Connection {
        FileDescriptor fd;
        std::string in;
        std::string out;
        bool closeAfterWrite = false;
        bool stalled = false; // the body goes out one byte at a time
        size_t burst = 0;     // bytes still sent at once before the trickle (the head)
        Clock::time_point nextByte;
        Clock::duration trickle{};
        size_t fillLeft = 0; // filler still to generate once out drains (rogue faults)
        bool fillHeaders = false;
        bool media = false; // taken on the media server's own port
    };

    void OnSearchDatagram();
    void OnNameQuery();
    void SendDueAnswers(Clock::time_point now);
    void Announce();
    void Accept(int listener, bool toMedia);
    bool OnReadable(Connection& connection);
    bool OnWritable(Connection& connection, Clock::time_point now);
    void AppendToFile(const std::string& path, const std::string& bytes);

    DevsimOptions options;
    FileDescriptor multicastIn;
    FileDescriptor unicastOut;
    FileDescriptor httpListen;
    FileDescriptor nameQueries; // UDP port 53, with --dns-log
    FileDescriptor
        backlogFiller; // holds the only place of a listen queue that is never accepted from
    std::optional<DevsimOptions> media; // the media server beside the device
    FileDescriptor mediaListen;         // its own port, when it has one
    std::vector<PendingAnswer> pending;
    std::vector<Connection> connections;
    std::mt19937 random;
    Clock::time_point nextNotify;
};
