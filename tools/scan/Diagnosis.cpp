#include "Diagnosis.h"

#include "SafeText.h"

#include "discovery/transport/LocalNetworks.h"

#include <bit>
#include <cstdint>
#include <fstream>
#include <string>

namespace {

// The fallback the search uses when the machine has no address of its own.
constexpr const char* kNoAddress = "0.0.0.0";
// Devices named when none of those that answered is the maker's.
constexpr std::size_t kForeignNamed = 3;

std::string Count(int n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// The local network of an address, as "192.0.2.0/24", from the interface that holds it; the
// address alone when no interface does.
std::string NetworkOf(const std::string& address) {
    const auto networks = NetworksOf({address});
    if (networks.empty())
        return address + "/32";
    const Ipv4Network& network = networks.front();
    const std::uint32_t base = network.address & network.mask;
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += std::to_string((base >> shift) & 0xff) + (shift > 0 ? "." : "");
    return text + "/" + std::to_string(std::popcount(network.mask));
}

// ufw says in its configuration file whether it is on; readable without root.
bool UfwEnabled() {
    std::ifstream config("/etc/ufw/ufw.conf");
    for (std::string line; std::getline(config, line);) {
        if (line.rfind("ENABLED=", 0) == 0)
            return line.find("yes") != std::string::npos;
    }
    return false;
}

std::string FirewallAdvice(const std::string& address, int announcements) {
    const std::string network = NetworkOf(address);
    std::string advice =
        "On " + address + " no device answered the search" +
        (announcements > 0 ? " (" + Count(announcements, "announcement was", "announcements were") +
                                 " heard, so devices are there)"
                           : "") +
        ". A firewall on this computer is the likeliest cause: the answers come from port 1900 "
        "to a port of the system's choosing, and a firewall that allows only port 1900 drops "
        "them.";
    advice += UfwEnabled() ? " ufw is enabled here." : " Check with: sudo ufw status, or sudo firewall-cmd --state.";
    advice += " To allow the answers from the local network, for good:\n"
              "    sudo ufw allow proto udp from " + network + " port 1900\n"
              "  or, with firewalld:\n"
              "    sudo firewall-cmd --permanent --add-rich-rule='rule family=\"ipv4\" source "
              "address=\"" + network + "\" source-port port=\"1900\" protocol=\"udp\" accept'\n"
              "    sudo firewall-cmd --reload\n"
              "  If no firewall runs here, the network may keep devices apart (a guest network, "
              "wireless client isolation): connect to the main network, or by cable.";
    return advice;
}

} // namespace

Diagnosis Diagnose(const std::vector<AddressReport>& addresses,
                   const std::vector<DescriptionReport>& descriptions) {
    Diagnosis result;
    for (const auto& address : addresses) {
        if (!address.skipped.empty()) {
            result.addresses.push_back(address.address + ": not searched (" + address.skipped +
                                       ")");
            continue;
        }
        if (address.address == kNoAddress) {
            result.addresses.push_back(std::string(kNoAddress) +
                                       ": searched, but this computer has no network address");
            continue;
        }
        result.usableAddress = true;
        result.addresses.push_back(
            address.address + ": searched; " +
            Count(address.searchSocketAnswers, "answer", "answers") + " to the search, " +
            Count(address.groupDatagrams, "announcement", "announcements") + " heard");
        if (address.searchSocketAnswers == 0) {
            result.advice.push_back(FirewallAdvice(address.address, address.groupDatagrams));
        }
    }
    if (!result.usableAddress) {
        result.advice.push_back(
            "No usable IPv4 address: this computer is not connected. Connect it to the network "
            "that holds the device (loopback, link-local and IPv6 addresses are not searched).");
    }
    std::vector<const DescriptionReport*> foreign;
    bool makerListed = false;
    for (const auto& description : descriptions) {
        makerListed = makerListed || description.device != nullptr;
        if (description.read && !description.device)
            foreign.push_back(&description);
        if (description.refusal != LocationRefusal::None) {
            result.advice.push_back("The description address " + SafeText(description.url) +
                                    " (from " + description.sender + ") " +
                                    std::string(RefusalText(description.refusal)) +
                                    ": it was not fetched.");
            continue;
        }
        if (!description.read) {
            result.advice.push_back("The description at " + SafeText(description.url) +
                                    " could not be read: " + description.failure);
        }
        if (!description.sender.empty() && description.host != description.sender) {
            result.advice.push_back(description.sender +
                                    " answered with a description address on " +
                                    SafeText(description.host) +
                                    ", another address: the device may be misconfigured, or "
                                    "something answers for it.");
        }
    }
    if (!makerListed && !foreign.empty()) {
        std::string named;
        for (std::size_t i = 0; i < foreign.size() && i < kForeignNamed; ++i) {
            named += (i > 0 ? "; " : "") + SafeText(foreign[i]->host) + " (" +
                     SafeText(foreign[i]->manufacturer) + ", " + SafeText(foreign[i]->modelName) + ")";
        }
        result.advice.push_back("The search worked, but none of the " +
                                Count(static_cast<int>(foreign.size()), "device", "devices") +
                                " that answered is a Korvane: " + named +
                                (foreign.size() > kForeignNamed ? "; ..." : "") + ".");
    }
    return result;
}
