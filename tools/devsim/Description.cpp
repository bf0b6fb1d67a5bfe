#include "Description.h"

#include <cstdio>

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '\'')
            out += "&#39;"; // as many UPnP stacks write it
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string Service(const std::string& indent, const std::string& type, const std::string& id,
                    const std::string& name) {
    return indent + "<service>\r\n" + indent +
           "  <serviceType>urn:schemas-upnp-org:service:" + type + ":1</serviceType>\r\n" + indent +
           "  <serviceId>urn:upnp-org:serviceId:" + id + "</serviceId>\r\n" + indent +
           "  <SCPDURL>/" + name + ".xml</SCPDURL>\r\n" + indent + "  <controlURL>/ctl/" + name +
           "</controlURL>\r\n" + indent + "  <eventSubURL>/evt/" + name + "</eventSubURL>\r\n" +
           indent + "</service>\r\n";
}

std::string ChunkedBody(const std::string& body) {
    // Small chunks, so that a client really has to join them.
    const size_t chunk = 200;
    std::string out;
    char size[16];
    for (size_t at = 0; at < body.size(); at += chunk) {
        const std::string part = body.substr(at, chunk);
        std::snprintf(size, sizeof size, "%zx", part.size());
        out += std::string(size) + "\r\n" + part + "\r\n";
    }
    return out + "0\r\n\r\n";
}

} // namespace

namespace {

// A media server's description: one device, its two services, no embedded devices.
std::string MediaServerDescription(const DevsimOptions& o) {
    return "<?xml version=\"1.0\"?>\r\n"
           "<root xmlns=\"urn:schemas-upnp-org:device-1-0\">\r\n"
           "<specVersion><major>1</major><minor>0</minor></specVersion>\r\n"
           "<device>\r\n"
           "<deviceType>urn:schemas-upnp-org:device:MediaServer:1</deviceType>\r\n"
           "<friendlyName>" +
           Escaped(o.friendlyName) + "</friendlyName>\r\n<manufacturer>" + Escaped(o.manufacturer) +
           "</manufacturer>\r\n<modelName>" + Escaped(o.modelName) +
           "</modelName>\r\n<modelNumber>" + Escaped(o.modelNumber) +
           "</modelNumber>\r\n<serialNumber>" + Escaped(o.serialNumber) +
           "</serialNumber>\r\n<UDN>" + o.udn + "</UDN>\r\n<serviceList>\r\n" +
           Service("  ", "ContentDirectory", "ContentDirectory", "ContentDir") +
           Service("  ", "ConnectionManager", "ConnectionManager", "ConnectionMgr") +
           "</serviceList>\r\n</device>\r\n</root>\r\n";
}

} // namespace

std::string BuildDescription(const DevsimOptions& o) {
    if (o.isMediaServer)
        return MediaServerDescription(o);
    const std::string ip = o.address;
    std::string xml =
        "<?xml version=\"1.0\"?>\r\n"
        "<root xmlns=\"urn:schemas-upnp-org:device-1-0\">\r\n"
        "<specVersion>\r\n<major>1</major>\r\n<minor>0</minor>\r\n</specVersion>\r\n"
        "<device>\r\n"
        "<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>\r\n";
    xml += "<friendlyName>" + Escaped(o.friendlyName) + "</friendlyName>\r\n";
    xml += "<manufacturer>" + Escaped(o.manufacturer) + "</manufacturer>\r\n";
    xml += "<manufacturerURL>http://www.korvane.example/</manufacturerURL>\r\n";
    xml += "<modelDescription>Wireless broadband router</modelDescription>\r\n";
    xml += "<modelName>" + Escaped(o.modelName) + "</modelName>\r\n";
    xml += "<modelNumber>" + Escaped(o.modelNumber) + "</modelNumber>\r\n";
    xml += "<modelURL>http://www.korvane.example/products</modelURL>\r\n";
    xml += "<serialNumber>" + Escaped(o.serialNumber) + "</serialNumber>\r\n";
    xml += "<UDN>" + o.udn + "</UDN>\r\n";
    xml += "<presentationURL>http://" + ip + "/</presentationURL>\r\n";
    xml += "<serviceList>\r\n" + Service("  ", "Layer3Forwarding", "L3Forwarding1", "L3F") +
           "</serviceList>\r\n";
    // The embedded devices carry their own names; only the root's are the device's.
    xml += "<deviceList>\r\n"
           "  <device>\r\n"
           "  <deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>\r\n"
           "  <friendlyName>WANDevice</friendlyName>\r\n"
           "  <manufacturer>MiniUPnP</manufacturer>\r\n"
           "  <modelName>WAN Device</modelName>\r\n"
           "  <UDN>" +
           o.udn + "-1</UDN>\r\n  <serviceList>\r\n" +
           Service("    ", "WANCommonInterfaceConfig", "WANCommonIFC1", "WANCfg") +
           "  </serviceList>\r\n"
           "  <deviceList>\r\n"
           "    <device>\r\n"
           "    <deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>\r\n"
           "    <friendlyName>WANConnectionDevice</friendlyName>\r\n"
           "    <modelName>WAN Connection Device</modelName>\r\n"
           "    <UDN>" +
           o.udn + "-2</UDN>\r\n    <serviceList>\r\n" +
           Service("      ", "WANIPConnection", "WANIPConn1", "WANIPCn") +
           "    </serviceList>\r\n"
           "    </device>\r\n"
           "  </deviceList>\r\n"
           "  </device>\r\n"
           "</deviceList>\r\n"
           "</device>\r\n"
           "</root>\r\n";
    return xml;
}

std::string RequestPath(const std::string& requestHead) {
    if (requestHead.rfind("GET ", 0) != 0)
        return {};
    const auto end = requestHead.find(' ', 4);
    if (end == std::string::npos)
        return {};
    return requestHead.substr(4, end - 4);
}

std::string BuildHttpResponse(const DevsimOptions& o, const std::string& requestHead) {
    std::string status = "200 OK";
    std::string type = "text/xml; charset=\"utf-8\"";
    std::string body;
    if (RequestPath(requestHead) == o.descriptionPath) {
        body = BuildDescription(o);
    } else {
        status = "404 Not Found";
        type = "text/html";
        body = "<html><body><h1>404 Not Found</h1></body></html>\r\n";
    }
    std::string head = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                       "\r\nServer: Linux/5.10 UPnP/1.0 KorvaneOS/2.4\r\n";
    switch (o.body) {
    case DevsimOptions::Body::Length:
        return head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    case DevsimOptions::Body::Chunked:
        return head + "Transfer-Encoding: chunked\r\n\r\n" + ChunkedBody(body);
    case DevsimOptions::Body::Close:
        break;
    }
    return head + "Connection: close\r\n\r\n" + body;
}
