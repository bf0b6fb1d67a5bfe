#include "discovery/DescriptionReport.h"

#include "discovery/ShownText.h"

namespace {

// A body this short, its lines joined, holds no description.
constexpr std::size_t kLongestEmptyBody = 10;

// The accepting branch: the record of a listed device, its texts as a user reads them.
std::shared_ptr<Korvane::DeviceProperty> IdentifyDevice(const TextLines& lines,
                                                        const DescriptionReport& report) {
    auto device = std::make_shared<Korvane::DeviceProperty>();
    device->ipAddress = report.host;
    device->location = report.url;
    device->friendlyName = report.friendlyName;
    device->modelNumber = ShownElementText(lines, "modelNumber");
    device->serialNumber = ShownElementText(lines, "serialNumber");
    return device;
}

void ReadBody(const std::string& body, DescriptionReport& report) {
    const auto lines = SplitTextToLines(body);
    // The decision reads the texts as written; the user, as shown.
    const auto manufacturer = ExtractTagValue(lines, "manufacturer");
    const auto modelName = ExtractTagValue(lines, "modelName");
    report.manufacturer = ShownValue(manufacturer);
    report.modelName = ShownValue(modelName);
    report.friendlyName = ShownElementText(lines, "friendlyName");
    report.rejection = JoinLines(lines).size() <= kLongestEmptyBody
                           ? Rejection::Empty
                           : JudgeDevice(manufacturer, modelName);
    if (report.rejection == Rejection::None) {
        report.device = IdentifyDevice(lines, report);
    }
}

} // namespace

bool WasRead(const DescriptionReport& report) {
    return report.rejection != Rejection::NotFetched && report.rejection != Rejection::Unreadable;
}

std::string RejectionText(const DescriptionReport& report) {
    switch (report.rejection) {
    case Rejection::None:
        break;
    case Rejection::NotFetched:
        return "not fetched: " + report.failure;
    case Rejection::Unreadable:
        return "description could not be read: " + report.failure;
    case Rejection::Empty:
        return "description is empty";
    case Rejection::OtherMaker:
        return "manufacturer is not Korvane";
    case Rejection::UnsupportedModel:
        return "model " + report.modelName + " is not supported";
    }
    return {};
}

DescriptionReport ReadDescription(const DeviceLocation& location, const std::string& sender,
                                  bool fetched, const std::string& body,
                                  const std::string& failure) {
    DescriptionReport report;
    // The answer's texts, too, are shown: in the row's details, the diagnosis, the tool's lines.
    report.host = ShownText(location.host);
    report.url = ShownText(location.url);
    report.sender = sender;
    report.refusal = location.refusal;
    if (location.refusal != LocationRefusal::None) {
        report.rejection = Rejection::NotFetched;
        report.failure = RefusalText(location.refusal);
    } else if (!fetched) {
        report.rejection = Rejection::Unreadable;
        report.failure = ShownText(failure);
    } else {
        ReadBody(body, report);
    }
    return report;
}
