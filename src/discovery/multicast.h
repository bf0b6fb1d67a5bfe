#pragma once

#include <string>

// Receiver of what is sent to the SSDP group on one address's network: device
// announcements, other machines' searches and our own search looped back.
class CNetwork {
public:
    CNetwork() = default;
    ~CNetwork() { Close(); }
    CNetwork(const CNetwork&) = delete;
    CNetwork& operator=(const CNetwork&) = delete;

    // Creates the socket with its time-outs and address reuse; false when no socket could
    // be created or reuse was refused.
    bool CreateSocket();
    // Binds to port on the wildcard address and joins group on the interface of address:
    // a Linux socket bound to a unicast address is not given group datagrams.
    void Open(const std::string& address, int port, const std::string& group = "239.255.255.250");
    // The text of one datagram (up to its first NUL, at most 1000 bytes), waiting up to
    // 3000 ms; empty when none came or there is no socket.
    std::string ReceiveText();
    // As ReceiveText, but only a datagram already waiting; false when none is. sender
    // gets the numeric address it came from.
    bool ReceiveWaiting(std::string& text, std::string& sender);
    // As ReceiveText, waiting up to 3000 ms; sender as above.
    bool ReceiveFrom(std::string& text, std::string& sender);
    // recv's result: bytes received, negative on error or time-out; 0 without a socket.
    long Receive(char* buffer, int size);
    void Close();

    // The bound port, 0 when there is none.
    int LocalPort() const;

    int handle = -1;

private:
    bool ReceiveDatagram(int flags, std::string& text, std::string& sender);
};
