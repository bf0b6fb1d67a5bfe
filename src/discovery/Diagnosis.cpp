#include "discovery/Diagnosis.h"

#include <algorithm>
#include <bit>
#include <fstream>
#include <iterator>

namespace {

// The search's fallback when the machine has no address of its own.
constexpr const char* kNoAddress = "0.0.0.0";

std::string NetworkPrefix(std::uint32_t base, int bits) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += std::to_string((base >> shift) & 0xffu);
        text += shift > 0 ? "." : "/";
    }
    return text + std::to_string(bits);
}

bool InLocalNetwork(const std::string& address, const std::vector<Ipv4Network>& networks) {
    const auto host = ParseIPv4(address);
    if (!host) {
        return true; // not an IPv4 address: nothing to tell
    }
    for (const auto& network : networks) {
        if (network.Holds(*host)) {
            return true;
        }
    }
    return false;
}

// "a.b.c.d/n" of the network holding address, from networks; else its /24, the network of
// almost every home, rather than a /32 that no rule could use.
std::string NetworkText(const std::string& address, const std::vector<Ipv4Network>& networks) {
    const auto host = ParseIPv4(address);
    if (!host) {
        return address;
    }
    for (const auto& network : networks) {
        if (network.Holds(*host)) {
            return NetworkPrefix(network.address & network.mask, std::popcount(network.mask));
        }
    }
    return NetworkPrefix(*host & 0xffffff00u, 24);
}

// A finding about one description: its sender, its address and why it failed, if it did.
Finding About(FindingKind kind, const DescriptionReport& description) {
    Finding finding{kind, description.sender};
    finding.url = description.url;
    finding.reason = description.failure;
    return finding;
}

// A device outside every local network, heard on the link: a router whose address was changed,
// or a device with a fixed address of its own. Home networks are /24 almost always.
Finding OtherNetwork(const DescriptionReport& description) {
    Finding finding = About(FindingKind::OtherNetwork, description);
    finding.network = NetworkPrefix(*ParseIPv4(description.sender) & 0xffffff00u, 24);
    return finding;
}

void DescribeDescriptions(const SearchEvidence& evidence, std::vector<Finding>& findings) {
    for (const auto& description : evidence.descriptions) {
        if (!evidence.networks.empty() && !description.sender.empty() && !WasRead(description) &&
            !InLocalNetwork(description.sender, evidence.networks)) {
            findings.push_back(OtherNetwork(description));
            continue;
        }
        if (description.rejection == Rejection::NotFetched) {
            findings.push_back(About(FindingKind::DescriptionRefused, description));
            continue;
        }
        if (description.rejection == Rejection::Unreadable) {
            findings.push_back(About(FindingKind::DescriptionUnreadable, description));
        }
        if (!description.sender.empty() && description.host != description.sender) {
            findings.push_back(About(FindingKind::OtherAddress, description));
            findings.back().host = description.host;
        }
    }
}

} // namespace

const char* FirewallName(LocalFirewall firewall) {
    switch (firewall) {
    case LocalFirewall::Ufw:
        return "ufw";
    case LocalFirewall::Firewalld:
        return "firewalld";
    case LocalFirewall::Unknown:
        break;
    }
    return "";
}

bool IsSearched(const AddressReport& address) {
    return address.skipped.empty() && address.address != kNoAddress;
}

bool SearchedAnyAddress(const std::vector<AddressReport>& addresses) {
    return std::any_of(addresses.begin(), addresses.end(), IsSearched);
}

std::vector<Finding> Diagnose(const SearchEvidence& evidence) {
    std::vector<Finding> findings;
    if (!SearchedAnyAddress(evidence.addresses)) {
        findings.push_back(Finding{FindingKind::NotConnected});
        return findings;
    }
    // A device in another network is why its search went unanswered: said first.
    std::vector<Finding> described;
    DescribeDescriptions(evidence, described);
    for (auto& finding : described) {
        if (finding.kind == FindingKind::OtherNetwork) {
            findings.push_back(finding);
        }
    }
    // Announcements or none, a silent search socket is this computer's own firewall first: a
    // firewall that lets the group's datagrams in drops the answers from port 1900. But a
    // firewall silences every address alike: when another one was answered, a silent one most
    // likely has nothing on its network (a virtual adapter), and comes last.
    std::vector<Finding> silent;
    bool anyAnswered = false;
    for (const auto& address : evidence.addresses) {
        anyAnswered = anyAnswered || (IsSearched(address) && address.searchSocketAnswers > 0);
        if (IsSearched(address) && address.searchSocketAnswers == 0) {
            Finding finding{FindingKind::NoAnswer, address.address};
            finding.network = NetworkText(address.address, evidence.networks);
            finding.announcements = address.groupDatagrams;
            finding.firewall = evidence.firewall;
            silent.push_back(std::move(finding));
        }
    }
    for (auto& finding : silent) {
        finding.anotherAnswered = anyAnswered;
    }
    if (!anyAnswered) {
        std::move(silent.begin(), silent.end(), std::back_inserter(findings));
    }
    for (auto& finding : described) {
        if (finding.kind != FindingKind::OtherNetwork) {
            findings.push_back(std::move(finding));
        }
    }
    bool makerListed = false;
    Finding foreign{FindingKind::ForeignDevicesOnly};
    for (const auto& description : evidence.descriptions) {
        makerListed = makerListed || description.device != nullptr;
        if (WasRead(description) && description.device == nullptr) {
            if (foreign.devices.size() < kNamedForeignDevices) {
                foreign.devices.push_back(SeenDevice{description.sender, description.manufacturer,
                                                     description.modelName});
            }
            ++foreign.deviceCount;
        }
    }
    if (!makerListed && foreign.deviceCount > 0) {
        findings.push_back(std::move(foreign));
    }
    if (anyAnswered) {
        std::move(silent.begin(), silent.end(), std::back_inserter(findings));
    }
    return findings;
}

namespace {

// firewalld writes its process id at start and removes it at exit; a stale file from a crash
// names a process that is gone, or another program.
bool FirewalldRunning(const std::string& root) {
    for (const char* file : {"/run/firewalld.pid", "/var/run/firewalld.pid"}) {
        std::ifstream pidFile(root + file);
        long pid = 0;
        if (!(pidFile >> pid) || pid <= 0) {
            continue;
        }
        std::ifstream command(root + "/proc/" + std::to_string(pid) + "/cmdline");
        std::string line;
        std::getline(command, line);
        if (line.find("firewalld") != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

LocalFirewall DetectLocalFirewall(const std::string& root) {
    std::ifstream config(root + "/etc/ufw/ufw.conf");
    for (std::string line; std::getline(config, line);) {
        std::erase_if(line, [](char c) {
            return c == '"' || c == '\'' || c == ' ' || c == '\t' || c == '\r';
        });
        if (line.rfind("ENABLED=", 0) == 0) {
            if (line == "ENABLED=yes") {
                return LocalFirewall::Ufw;
            }
            break;
        }
    }
    return FirewalldRunning(root) ? LocalFirewall::Firewalld : LocalFirewall::Unknown;
}
