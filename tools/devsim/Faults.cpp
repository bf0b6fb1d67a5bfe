#include "Faults.h"

#include "Description.h"
#include "Ssdp.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace {

using Fault = DevsimOptions::Fault;

constexpr std::array<std::pair<std::string_view, Fault>, 8> kFaults{{
    {"endless-body", Fault::EndlessBody},
    {"drip", Fault::Drip},
    {"huge-body", Fault::HugeBody},
    {"silent", Fault::Silent},
    {"broken-chunked", Fault::BrokenChunked},
    {"endless-headers", Fault::EndlessHeaders},
    {"utf16", Fault::Utf16},
    {"junk-datagrams", Fault::JunkDatagrams},
}};

constexpr std::size_t kHugeBody = std::size_t{100} << 20;
constexpr std::size_t kLargestDatagram = 65507; // 65,535 less the IPv4 and UDP headers

std::string Utf16(const std::string& text) {
    std::string out = "\xff\xfe"; // little-endian byte order mark
    for (const char c : text) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

} // namespace

bool ParseFault(std::string_view name, Fault& fault) {
    const auto found = std::find_if(kFaults.begin(), kFaults.end(),
                                    [&](const auto& entry) { return entry.first == name; });
    if (found == kFaults.end())
        return false;
    fault = found->second;
    return true;
}

const char* FaultNames() {
    return "endless-body drip huge-body silent broken-chunked endless-headers utf16 "
           "junk-datagrams";
}

FaultyResponse BuildFaultyResponse(const DevsimOptions& o, const std::string& requestHead) {
    FaultyResponse r;
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n";
    const std::string description = BuildDescription(o);
    switch (o.fault) {
    case Fault::Silent:
        r.silent = true;
        break;
    case Fault::EndlessBody:
        r.start = ok + "Connection: close\r\n\r\n" + description;
        r.fillBytes = std::numeric_limits<std::size_t>::max();
        break;
    case Fault::HugeBody:
        r.start = ok + "Content-Length: " + std::to_string(kHugeBody) + "\r\n\r\n" + description;
        r.fillBytes = kHugeBody - description.size();
        r.closeAfter = true;
        break;
    case Fault::Drip:
        r.start = BuildHttpResponse(o, requestHead);
        r.trickle = std::chrono::milliseconds(5000);
        r.closeAfter = true;
        break;
    case Fault::EndlessHeaders:
        r.start = ok;
        r.fillBytes = std::numeric_limits<std::size_t>::max();
        r.fillHeaders = true;
        break;
    case Fault::BrokenChunked:
        // A size line that is not hexadecimal after a first good chunk.
        r.start = ok + "Transfer-Encoding: chunked\r\n\r\n10\r\n" + description.substr(0, 16) +
                  "\r\nzz\r\n" + description.substr(16) + "\r\n0\r\n\r\n";
        r.closeAfter = true;
        break;
    case Fault::Utf16: {
        const std::string body = Utf16(description);
        r.start = "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=\"utf-16\"\r\n"
                  "Content-Length: " +
                  std::to_string(body.size()) + "\r\n\r\n" + body;
        break;
    }
    case Fault::None:
    case Fault::JunkDatagrams:
        r.start = BuildHttpResponse(o, requestHead);
        r.closeAfter = o.body == DevsimOptions::Body::Close;
        break;
    }
    return r;
}

std::string Filler(bool headers, std::size_t bytes) {
    const std::string line = headers ? "X-Filler: " + std::string(88, 'h') + "\r\n"
                                     : "<!--" + std::string(91, 'b') + "-->\r\n";
    std::string out;
    while (out.size() + line.size() <= bytes)
        out += line;
    out.append(line, 0, bytes - out.size());
    return out;
}

std::vector<std::string> JunkAnswers(const DevsimOptions& o) {
    const std::string location = LocationUrl(o, o.address);
    const std::string junkPath = location.substr(0, location.rfind('/')) + "/junk";
    std::vector<std::string> answers;

    const std::string head =
        "HTTP/1.1 200 OK\r\nLOCATION: " + junkPath + "-large\r\nST: upnp:rootdevice\r\nX-Pad: ";
    std::string largest = head + std::string(kLargestDatagram - head.size() - 4, 'p') + "\r\n\r\n";
    answers.push_back(largest);

    answers.push_back(std::string("HTTP/1.1 200 OK\r\nLOCA\0TION: ", 27) + junkPath +
                      std::string("\0/rootDesc.xml\r\nST: upnp:\0root\r\n\r\n", 35));
    answers.push_back("HTTP/1.1 200 OK\r\nLOCATION: " + junkPath +
                      "-\xff\xfe\xc0\xaf\xed\xa0\x80\r\nSERVER: \xc3\x28\xa0\xa1\r\nST: \xf8\x88"
                      "\x80\x80\x80\r\n\r\n");
    answers.push_back("HTTP/1.1\x01 200\x1b[31m OK\r\nCACHE-CONTROL: max-age=\x07"
                      "1800\r\n"
                      "LOCATION: \x01\x02" +
                      junkPath +
                      "-\x7f\x08\r\nSERVER: \x1b]0;x\x07\r\n"
                      "ST: upnp:\x0b\x0c\r\nUSN: uuid:\x01\x1f\r\n\r\n");
    return answers;
}
