#include "Diagnosis.h"

#include "SafeText.h"

namespace {

std::string Count(int n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

} // namespace

Diagnosis Diagnose(const std::vector<AddressReport>& addresses,
                   const std::vector<DescriptionReport>& descriptions) {
    Diagnosis result;
    bool heardAny = false;
    for (const auto& address : addresses) {
        if (!address.skipped.empty()) {
            result.addresses.push_back(address.address + ": not searched (" + address.skipped +
                                       ")");
            continue;
        }
        result.usableAddress = true;
        heardAny = heardAny || address.searchSocketAnswers > 0 || address.groupDatagrams > 0;
        result.addresses.push_back(
            address.address + ": searched; " +
            Count(address.searchSocketAnswers, "answer", "answers") + " to the search socket, " +
            Count(address.groupDatagrams, "datagram", "datagrams") + " to the group receiver");
        if (address.searchSocketAnswers == 0 && address.groupDatagrams > 0) {
            result.advice.push_back(
                "On " + address.address +
                " devices were heard on the SSDP group but none answered the search: a firewall "
                "is probably dropping the answers, which come from port 1900 to a port of the "
                "system's choosing. Allow them with\n"
                "    sudo ufw allow proto udp from any port 1900\n"
                "  or\n"
                "    sudo firewall-cmd --add-rich-rule='rule family=\"ipv4\" source-port "
                "port=\"1900\" protocol=\"udp\" accept'");
        }
    }
    if (!result.usableAddress) {
        result.advice.push_back(
            "No usable IPv4 address: connect to the network that holds the "
            "device (loopback, link-local and IPv6 addresses are not searched).");
    } else if (!heardAny) {
        result.advice.push_back(
            "Nothing answered on any address: multicast seems blocked on this network. Wireless "
            "client isolation or a guest network keeps devices from hearing each other; connect "
            "to the main network, or by cable.");
    }
    for (const auto& description : descriptions) {
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
    return result;
}
