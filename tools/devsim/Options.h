#pragma once

#include <cstdint>
#include <string>

// Everything a simulated device can be told on its command line.
struct DevsimOptions {
    std::string address;         // the device's own IPv4 address
    int httpPort = 80;           // where the description is served
    bool httpAnyAddress = false; // serve on 0.0.0.0 (for invented locations)
    std::string descriptionPath = "/rootDesc.xml";
    std::string friendlyName = "Korvane Router";
    std::string manufacturer = "Korvane";
    std::string modelName = "KT6610";
    std::string modelNumber = "1.0";
    std::string serialNumber = "000000000001";
    std::string udn;    // derived from the address when empty
    int answers = 4;    // answers to one ssdp:all search
    bool notify = true; // send ssdp:alive announcements
    int notifyIntervalMs = 30000;
    bool notifyOnly = false;    // never answer a search
    bool locationUpper = false; // header written "LOCATION" instead of "Location"
    bool locationNoBlank = false; // no blank between the location header's colon and value
    int maxDelayMs = 5000;      // upper bound of an answer's random delay
    int minDelayMs = 0;         // lower bound of it; above the upper bound, the delay itself
    enum class Body { Length, Chunked, Close } body = Body::Length;
    bool stallBody = false;   // announce a large body and send it one byte a second
    bool fullBacklog = false; // never accept: connection attempts go unanswered
    enum class Fault {
        None,
        EndlessBody,
        Drip,
        HugeBody,
        Silent,
        BrokenChunked,
        EndlessHeaders,
        Utf16,
        JunkDatagrams
    } fault = Fault::None;     // a rogue device's misbehaviour (Faults.h)
    std::string locationHost;  // written in locations instead of the address (a name)
    std::string dnsLog;        // name queries received on UDP port 53 are appended here
    std::string floodFirst;    // first invented location host
    int floodCount = 0;        // invented location hosts per search
    // A second UPnP device on the same address, a media server of another maker such as a
    // router runs for its USB port: its description at mediaPort (0: none) and mediaPath.
    int mediaPort = 0;
    std::string mediaPath = "/rootDesc.xml";
    // Whether the media server's answers to a search all go out before the device's own, or
    // all after them.
    enum class MediaOrder { First, Last } mediaOrder = MediaOrder::First;
    bool isMediaServer = false; // these options describe the media server itself
    std::string requestLog;     // raw HTTP requests received are appended here
    std::string searchLog;     // raw M-SEARCH datagrams received are appended here
    std::string readyFile;     // written once every socket is listening
    int lifetimeSeconds = 600; // a leaked simulator ends by itself
};

// Parses argv into options; on failure returns false and sets error.
bool ParseDevsimOptions(int argc, const char* const* argv, DevsimOptions& options,
                        std::string& error);

const char* DevsimUsage();
