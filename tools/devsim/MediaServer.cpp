#include "MediaServer.h"

#include <algorithm>

DevsimOptions MediaServerOf(const DevsimOptions& device) {
    DevsimOptions media;
    media.address = device.address;
    media.locationHost = device.locationHost;
    media.locationUpper = device.locationUpper;
    media.httpPort = device.mediaPort;
    media.descriptionPath = device.mediaPath;
    media.friendlyName = device.friendlyName + ": media";
    media.manufacturer = "Ostrea Media";
    media.modelName = "Ostrea DLNA Server";
    media.modelNumber = "1.3";
    media.serialNumber = device.serialNumber;
    media.udn = device.udn + "-media";
    media.answers = 5; // one per target, as media servers answer
    media.isMediaServer = true;
    return media;
}

std::vector<TimedDatagram> InAnswerOrder(std::vector<TimedDatagram> device,
                                         std::vector<TimedDatagram> media,
                                         DevsimOptions::MediaOrder order) {
    auto& first = order == DevsimOptions::MediaOrder::First ? media : device;
    auto& then = order == DevsimOptions::MediaOrder::First ? device : media;
    std::stable_sort(first.begin(), first.end(),
                     [](const auto& a, const auto& b) { return a.delayMs < b.delayMs; });
    const int firstDone = first.empty() ? 0 : first.back().delayMs;
    for (auto& answer : then) {
        answer.delayMs = std::max(answer.delayMs, firstDone);
    }
    std::stable_sort(then.begin(), then.end(),
                     [](const auto& a, const auto& b) { return a.delayMs < b.delayMs; });
    first.insert(first.end(), std::make_move_iterator(then.begin()),
                 std::make_move_iterator(then.end()));
    return std::move(first);
}
