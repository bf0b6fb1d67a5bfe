#include "discovery/DescriptionReport.h"

#include "discovery/Identification.h"

DescriptionReport ReadDescription(const DeviceLocation& location, const std::string& sender,
                                  bool fetched, const std::string& body,
                                  const std::string& failure) {
    DescriptionReport report;
    report.host = location.host;
    report.url = location.url;
    report.sender = sender;
    report.refusal = location.refusal;
    if (location.refusal != LocationRefusal::None) {
        report.failure = RefusalText(location.refusal);
        report.rejection = "not fetched: " + report.failure;
        return report;
    }
    report.read = fetched;
    if (!fetched) {
        report.failure = failure;
        report.rejection = "description could not be read: " + failure;
        return report;
    }
    const auto lines = SplitTextToLines(body);
    report.manufacturer = ShownElementText(lines, "manufacturer");
    report.modelName = ShownElementText(lines, "modelName");
    report.friendlyName = ShownElementText(lines, "friendlyName");
    report.device = IdentifyDevice(location, lines);
    if (report.device) {
        return report;
    }
    // Any model of the table tells the two conditions of acceptance apart.
    if (JoinLines(lines).size() <= 10) {
        report.rejection = "description is empty";
    } else if (!IsAcceptedDevice(ExtractTagValue(lines, "manufacturer"), kModelTable.front())) {
        report.rejection = "manufacturer is not Korvane";
    } else {
        report.rejection = "model " + report.modelName + " is not supported";
    }
    return report;
}
