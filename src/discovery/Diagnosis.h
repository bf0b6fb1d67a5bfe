#pragma once

#include "discovery/DescriptionReport.h"
#include "discovery/Upnpthread.h"
#include "discovery/transport/LocalNetworks.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// What a finished search tells a user whose device is not listed. Each finding is a kind and
// its facts; the window and pathmere-scan put them into words of their own.
enum class FindingKind {
    NotConnected,          // no address could be searched; the 0.0.0.0 fallback counts as none
    OtherNetwork,          // a device heard from an address outside every local network
    NoAnswer,              // an address got no answer to the search
    DescriptionUnreadable, // a description could not be read
    DescriptionRefused,    // a description address that cannot be the device, not fetched
    OtherAddress,          // a description names another address than the one that answered
    ForeignDevicesOnly,    // devices answered, none of them the maker's
};

// A firewall seen on this computer without root; Unknown when none could be told.
enum class LocalFirewall { Unknown, Ufw, Firewalld };

// The firewall's program name ("ufw"); empty for Unknown.
const char* FirewallName(LocalFirewall firewall);

struct SeenDevice {
    std::string address;
    std::string manufacturer;
    std::string modelName;
};

struct Finding {
    explicit Finding(FindingKind kindOf, std::string addressOf = {})
        : kind(kindOf), address(std::move(addressOf)) {}

    FindingKind kind;
    // NoAnswer: the local address; the others: the device's address (the answer's sender).
    std::string address;
    // NoAnswer: the local network, as "192.0.2.0/24"; OtherNetwork: the device's likely one.
    std::string network;
    int announcements = 0; // NoAnswer: heard from devices all the same
    // NoAnswer: another address was answered, so no firewall here drops every answer.
    bool anotherAnswered = false;
    LocalFirewall firewall = LocalFirewall::Unknown; // NoAnswer
    std::string url;                                 // the description address
    std::string host;                                // OtherAddress: the host it names
    std::string reason;                              // unreadable or refused: why
    std::vector<SeenDevice> devices;                 // ForeignDevicesOnly: the first few
    int deviceCount = 0;                             // ForeignDevicesOnly: all of them
};

// What a search saw, as the worker hands it over.
struct SearchEvidence {
    std::vector<AddressReport> addresses{};
    std::vector<DescriptionReport> descriptions{};
    std::vector<Ipv4Network> networks{}; // of the searched addresses; empty when unknown
    LocalFirewall firewall = LocalFirewall::Unknown;
};

// The most devices a ForeignDevicesOnly finding names.
inline constexpr std::size_t kNamedForeignDevices = 3;

// Findings in the order a reader should act on them; empty when nothing calls for advice.
std::vector<Finding> Diagnose(const SearchEvidence& evidence);

// True when the address was really searched: not skipped, not the 0.0.0.0 fallback.
bool IsSearched(const AddressReport& address);
// True when some address was.
bool SearchedAnyAddress(const std::vector<AddressReport>& addresses);

// What this computer shows of its firewall without root, under root: ufw's configuration file,
// else firewalld's process-id file naming a firewalld process. A caller that can ask the
// system bus may look there too when this gives Unknown.
LocalFirewall DetectLocalFirewall(const std::string& root = "/");
