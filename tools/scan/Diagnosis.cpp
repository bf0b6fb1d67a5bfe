#include "Diagnosis.h"

#include <string>

namespace {

std::string Count(int n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

std::string AddressLine(const AddressReport& address) {
    if (!address.skipped.empty()) {
        return address.address + ": not searched (" + address.skipped + ")";
    }
    if (!IsSearched(address)) {
        return address.address + ": searched, but this computer has no network address";
    }
    return address.address + ": searched; " +
           Count(address.searchSocketAnswers, "answer", "answers") + " to the search, " +
           Count(address.groupDatagrams, "announcement", "announcements") + " heard" +
           (address.otherSearchRequests > 0
                ? ", " + Count(address.otherSearchRequests, "search", "searches") +
                      " by other computers"
                : "");
}

std::string FirewallWords(LocalFirewall firewall) {
    if (firewall == LocalFirewall::Unknown) {
        return " Check with: sudo ufw status, or sudo firewall-cmd --state.";
    }
    return std::string(" ") + FirewallName(firewall) +
           (firewall == LocalFirewall::Ufw ? " is enabled here." : " is running here.");
}

std::string NoAnswerWords(const Finding& finding) {
    if (finding.anotherAnswered) {
        return "On " + finding.address +
               " no device answered the search, while another address was answered: most "
               "likely nothing answers on this one's network (a virtual or unused adapter).";
    }
    return "On " + finding.address + " no device answered the search" +
           (finding.announcements > 0
                ? " (" + Count(finding.announcements, "announcement was", "announcements were") +
                      " heard, so devices are there)"
                : "") +
           ". A firewall on this computer is the likeliest cause: the answers come from port 1900 "
           "to a port of the system's choosing, and a firewall that allows only port 1900 drops "
           "them." +
           FirewallWords(finding.firewall) +
           " To allow the answers from the local network, for good:\n"
           "    sudo ufw allow proto udp from " +
           finding.network +
           " port 1900\n"
           "  or, with firewalld:\n"
           "    sudo firewall-cmd --permanent --add-rich-rule='rule family=\"ipv4\" source "
           "address=\"" +
           finding.network +
           "\" source-port port=\"1900\" protocol=\"udp\" accept'\n"
           "    sudo firewall-cmd --reload\n"
           "  If no firewall runs here, the network may keep devices apart (a guest network, "
           "wireless client isolation): connect to the main network, or by cable.";
}

std::string ForeignWords(const Finding& finding) {
    std::string named;
    for (const auto& device : finding.devices) {
        named += (named.empty() ? "" : "; ") + device.address + " (" + device.manufacturer + ", " +
                 device.modelName + ")";
    }
    if (finding.deviceCount == 1) {
        return "The search worked, but the one device that answered is not a Korvane: " + named +
               ".";
    }
    const bool more = static_cast<std::size_t>(finding.deviceCount) > finding.devices.size();
    return "The search worked, but none of the " + std::to_string(finding.deviceCount) +
           " devices that answered is a Korvane: " + named + (more ? "; ..." : "") + ".";
}

std::string Words(const Finding& finding) {
    switch (finding.kind) {
    case FindingKind::NotConnected:
        return "No usable IPv4 address: this computer is not connected. Connect it to the network "
               "that holds the device (loopback, link-local and IPv6 addresses are not searched).";
    case FindingKind::OtherNetwork:
        return "A device at " + finding.address +
               " is on this computer's link but in another "
               "network (likely " +
               finding.network + "), so it cannot be reached" +
               (finding.reason.empty() ? "" : " (" + finding.reason + ")") +
               ". A router whose address was changed, or a device with a fixed address of its "
               "own, does this. To reach it, give this computer an address in " +
               finding.network +
               " for a while (in the network settings, or with sudo ip address add), or reset the "
               "router to its factory settings.";
    case FindingKind::NoAnswer:
        return NoAnswerWords(finding);
    case FindingKind::DescriptionRefused:
        return "The description address " + finding.url + " (from " + finding.address + ") " +
               finding.reason + ": it was not fetched.";
    case FindingKind::DescriptionUnreadable:
        return "The description at " + finding.url + " could not be read: " + finding.reason;
    case FindingKind::OtherAddress:
        return finding.address + " answered with a description address on " + finding.host +
               ", another address: the device may be misconfigured, or something answers for it.";
    case FindingKind::ForeignDevicesOnly:
        return ForeignWords(finding);
    }
    return {};
}

} // namespace

const char* FindingName(FindingKind kind) {
    switch (kind) {
    case FindingKind::NotConnected:
        return "not_connected";
    case FindingKind::OtherNetwork:
        return "other_network";
    case FindingKind::NoAnswer:
        return "no_answer";
    case FindingKind::DescriptionRefused:
        return "description_refused";
    case FindingKind::DescriptionUnreadable:
        return "description_unreadable";
    case FindingKind::OtherAddress:
        return "other_address";
    case FindingKind::ForeignDevicesOnly:
        return "foreign_devices_only";
    }
    return "";
}

Diagnosis Explain(const SearchEvidence& evidence) {
    Diagnosis result;
    for (const auto& address : evidence.addresses) {
        result.addresses.push_back(AddressLine(address));
    }
    result.usableAddress = SearchedAnyAddress(evidence.addresses);
    result.findings = Diagnose(evidence);
    for (const auto& finding : result.findings) {
        result.advice.push_back(Words(finding));
    }
    return result;
}
