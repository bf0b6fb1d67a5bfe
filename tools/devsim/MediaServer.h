#pragma once

#include "Options.h"

#include <string>
#include <vector>

// The media server a device runs beside itself (--media-server): the same address, a port
// or path of its own, another maker, its own identity and search targets.
DevsimOptions MediaServerOf(const DevsimOptions& device);

// One datagram to send, and how long after the search it is due.
struct TimedDatagram {
    int delayMs = 0;
    std::string datagram;
};

// The device's and the media server's answers in the order they go out: all of the group
// that comes first (order) before any of the other, each answer no earlier than its own delay.
std::vector<TimedDatagram> InAnswerOrder(std::vector<TimedDatagram> device,
                                         std::vector<TimedDatagram> media,
                                         DevsimOptions::MediaOrder order);
