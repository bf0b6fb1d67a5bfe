#include "ScanJson.h"

#include <nlohmann/json.hpp>

namespace {

nlohmann::ordered_json Rows(const std::vector<ScanRow>& rows, bool all) {
    auto list = nlohmann::ordered_json::array();
    const auto names = ColumnNames(all);
    for (const auto& row : rows) {
        const auto fields = RowFields(row, all);
        nlohmann::ordered_json object;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == "listed") {
                object[names[i]] = row.listed;
            } else {
                object[names[i]] = fields[i];
            }
        }
        list.push_back(std::move(object));
    }
    return list;
}

// Each finding as its kind and the facts it has; empty facts are left out.
nlohmann::ordered_json Findings(const std::vector<Finding>& findings) {
    auto list = nlohmann::ordered_json::array();
    for (const auto& finding : findings) {
        nlohmann::ordered_json object{{"kind", FindingName(finding.kind)}};
        const auto text = [&object](const char* key, const std::string& value) {
            if (!value.empty()) {
                object[key] = value;
            }
        };
        text("address", finding.address);
        text("network", finding.network);
        text("url", finding.url);
        text("host", finding.host);
        text("reason", finding.reason);
        if (finding.kind == FindingKind::NoAnswer) {
            object["announcements"] = finding.announcements;
            object["firewall"] = finding.firewall == LocalFirewall::Unknown
                                     ? "unknown"
                                     : FirewallName(finding.firewall);
        }
        if (finding.kind == FindingKind::ForeignDevicesOnly) {
            object["device_count"] = finding.deviceCount;
            auto devices = nlohmann::ordered_json::array();
            for (const auto& device : finding.devices) {
                devices.push_back({{"address", device.address},
                                   {"manufacturer", device.manufacturer},
                                   {"model_name", device.modelName}});
            }
            object["devices"] = std::move(devices);
        }
        list.push_back(std::move(object));
    }
    return list;
}

} // namespace

std::string ScanJson(const std::vector<ScanRow>& devices, const std::vector<ScanRow>* described,
                     const std::vector<AddressReport>& addresses, const Diagnosis& diagnosis) {
    nlohmann::ordered_json document;
    document["devices"] = Rows(devices, false);
    if (described != nullptr) {
        document["descriptions"] = Rows(*described, true);
    }
    auto searched = nlohmann::ordered_json::array();
    for (const auto& address : addresses) {
        searched.push_back({{"address", address.address},
                            {"searched", address.skipped.empty()},
                            {"not_searched_because", address.skipped},
                            {"search_socket_answers", address.searchSocketAnswers},
                            {"group_datagrams", address.groupDatagrams},
                            {"other_search_requests", address.otherSearchRequests}});
    }
    document["addresses"] = std::move(searched);
    document["diagnosis"] = diagnosis.advice;
    document["findings"] = Findings(diagnosis.findings);
    // A device's texts arrive as shown, valid UTF-8; replace guards the system's own (an
    // interface's name in a reason).
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
