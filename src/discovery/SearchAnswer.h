#pragma once

#include "discovery/Devices.h"
#include "discovery/transport/TextLines.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The SSDP search request, sent once per searched address: 95 bytes, no NUL.
inline constexpr std::string_view kSearchRequest = "M-SEARCH * HTTP/1.1\r\n"
                                                   "MX: 10\r\n"
                                                   "ST: ssdp:all\r\n"
                                                   "HOST: 239.255.255.250:1900\r\n"
                                                   "MAN: \"ssdp:discover\"\r\n"
                                                   "\r\n";

// The request of a search that reports as it goes: the same but for MX: 1, the lowest wait the
// UPnP architecture allows, so that devices answer within a second instead of spreading their
// answers over ten. 94 bytes.
inline constexpr std::string_view kStreamingSearchRequest = "M-SEARCH * HTTP/1.1\r\n"
                                                            "MX: 1\r\n"
                                                            "ST: ssdp:all\r\n"
                                                            "HOST: 239.255.255.250:1900\r\n"
                                                            "MAN: \"ssdp:discover\"\r\n"
                                                            "\r\n";

// Plausibility check of a dotted IPv4 text: 7 to 15 characters, digits and dots, no empty
// group before a dot, no group over 255. The number of dots is not checked.
bool IsIPv4Text(std::string_view text);

// An address is searched when it is IPv4 text and not link-local ("169") or loopback ("127").
bool IsSearchedAddress(std::string_view address);

// Why an address is not searched ("IPv6", "link-local", ...); empty when it is.
std::string WhyNotSearched(std::string_view address);

// The host part of a description address: no scheme, user, port or path; an IPv6 host
// keeps its brackets. A text without any "/" gives the empty host.
std::string LocationHost(std::string_view url);

// A datagram by what tells it from others: the socket it came on, its sender and its text.
struct DatagramKey {
    bool searchSocket = false;
    std::string_view sender;
    std::string_view text;
    bool operator==(const DatagramKey&) const = default;
};

// A datagram already read, kept by its key; looked up by a DatagramKey without copying.
struct ReadDatagram {
    explicit ReadDatagram(const DatagramKey& key)
        : searchSocket(key.searchSocket), sender(key.sender), text(key.text) {}
    DatagramKey Key() const { return {searchSocket, sender, text}; }

    bool searchSocket;
    std::string sender;
    std::string text;
};

struct DatagramKeyHash {
    using is_transparent = void;
    std::size_t operator()(const DatagramKey& key) const noexcept;
    std::size_t operator()(const ReadDatagram& read) const noexcept { return (*this)(read.Key()); }
};

struct DatagramKeyEqual {
    using is_transparent = void;
    static DatagramKey Key(const DatagramKey& key) { return key; }
    static DatagramKey Key(const ReadDatagram& read) { return read.Key(); }
    template <class A, class B> bool operator()(const A& a, const B& b) const noexcept {
        return Key(a) == Key(b);
    }
};

// Collects the distinct description addresses of one run. A flood of invented locations must
// not turn into hundreds of fetches: the list holds at most maxLocations addresses, and one
// sending address contributes at most maxLocationsPerSender of them (a router with a media
// server and a Wi-Fi setup device beside its gateway names three).
struct LocationCollector {
    static constexpr std::size_t maxLocations = 256;
    static constexpr int maxLocationsPerSender = 8;

    explicit LocationCollector(LocationList& list) : locations(list) {}

    LocationList& locations;
    std::unordered_map<std::string, int> locationsBySender;
    // The searched addresses' networks: a location on none of them is fetched only from the
    // address that named it (CheckLocation).
    std::vector<Ipv4Network> networks;

    // Called with each location appended and the address whose datagram named it.
    std::function<void(const DeviceLocation&, const std::string& sender)> onNewLocation;
    // Datagrams other than search requests, per socket, for the run's report.
    int searchSocketAnswers = 0;
    int groupDatagrams = 0;
    // Search requests heard on the group from addresses other than ownAddresses (this
    // computer's searched ones): the link carries other computers' searches.
    int otherSearchRequests = 0;
    std::vector<std::string> ownAddresses;

    // The datagrams read so far (by socket, sender and text), each with whether it was a search
    // request, so that a repeat is only counted. Bounded in number and size, since senders can
    // vary their texts without end: an answer is well under a kibibyte, a longer text is read
    // each time.
    static constexpr std::size_t maxReadDatagrams = 2048;
    static constexpr std::size_t maxRememberedDatagram = 2048;
    std::unordered_map<ReadDatagram, bool, DatagramKeyHash, DatagramKeyEqual> readDatagrams;
};

// The first line of a search request (ours, or another machine's) in any case.
bool IsSearchRequest(const TextLines& lines);

// Reads one datagram's lines: a search request is ignored; otherwise the first line that
// begins with "Location" or "LOCATION" names the description address, and an address not yet
// in the list is appended with its host and whether it may be fetched. Refused addresses count
// against the caps like the others.
void ParseSearchAnswer(LocationCollector& collector, const TextLines& lines,
                       const std::string& sender);
