#pragma once

#include <string>

// A UPnP device description as devices write it, one element per line.
inline std::string Description(const std::string& manufacturer, const std::string& modelName,
                               const std::string& friendlyName = "Office router",
                               const std::string& modelNumber = "1.0",
                               const std::string& serialNumber = "SN0001") {
    return "<?xml version=\"1.0\"?>\r\n"
           "<root xmlns=\"urn:schemas-upnp-org:device-1-0\">\r\n"
           "<device>\r\n"
           "<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>\r\n"
           "<friendlyName>" +
           friendlyName + "</friendlyName>\r\n<manufacturer>" + manufacturer +
           "</manufacturer>\r\n<modelName>" + modelName + "</modelName>\r\n<modelNumber>" +
           modelNumber + "</modelNumber>\r\n<serialNumber>" + serialNumber +
           "</serialNumber>\r\n</device>\r\n</root>\r\n";
}

// A search answer naming url.
inline std::string Answer(const std::string& url, const std::string& header = "LOCATION") {
    return "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\n" + header + ": " + url +
           "\r\nSERVER: Linux/5.10 UPnP/1.0 test/1.0\r\nST: upnp:rootdevice\r\n"
           "USN: uuid:test::upnp:rootdevice\r\n\r\n";
}
