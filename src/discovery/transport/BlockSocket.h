#pragma once

#include <cstdint>
#include <netinet/in.h>
#include <string>

// A datagram socket that never raises: each operation records its failure as the last
// error (an errno value, 0 after success) and the next operations go on regardless.
// Options asked for before the system socket exists are kept pending and applied when
// Bind or Connect creates it.
class TBlockSocket {
public:
    TBlockSocket() = default;
    ~TBlockSocket();
    TBlockSocket(const TBlockSocket&) = delete;
    TBlockSocket& operator=(const TBlockSocket&) = delete;

    // Closes the system socket, drops the pending options, makes the family unspecified.
    void AbortSocket();
    void SetNonBlockMode(bool on) { pending.nonBlocking = on; }
    void EnableBroadcast(bool on) { pending.broadcast = on; }
    void SetRecvBufferSize(int bytes) { pending.recvBufferSize = bytes; }
    // Interface (by its IPv4 address) that multicast datagrams leave through; on Linux
    // binding alone does not choose it when several interfaces exist.
    void SetMulticastInterface(const std::string& ip) { pending.multicastInterface = ip; }
    void SetMulticastLoop(bool on) { pending.multicastLoop = on; }

    // With the family unspecified the system socket is left to Bind or Connect.
    void CreateSocket() {}

    int LastError() const { return lastError; }
    int Handle() const { return fd; }

protected:
    // Creates the IPv4 datagram socket if there is none and applies the pending options.
    bool EnsureSocket();
    bool HasSocket() const { return fd >= 0; }
    void SetError(int error) { lastError = error; }

private:
    struct Options {
        bool nonBlocking = false;
        bool broadcast = false;
        int recvBufferSize = 0;
        std::string multicastInterface;
        bool multicastLoop = true;
    };
    void ApplyOptions();

    int fd = -1;
    int lastError = 0;
    Options pending;
};

class TUDPBlockSocket : public TBlockSocket {
public:
    // Binds to ip and port (port "0" lets the system choose).
    void Bind(const std::string& ip, const std::string& port);
    // Records the destination; no system connect for a datagram socket.
    void Connect(const std::string& ip, const std::string& port);
    void SendString(const std::string& text);
    // One datagram's bytes: at once if one is waiting, else the first to arrive within
    // timeoutMs; the empty text when none came (ETIMEDOUT recorded as the last error).
    std::string RecvPacket(int timeoutMs);
    // Numeric address of the sender of the last datagram RecvPacket gave.
    const std::string& LastSender() const { return lastSender; }
    // The locally bound port, 0 when there is no socket.
    int LocalPort() const;

private:
    sockaddr_in destination{};
    bool hasDestination = false;
    std::string lastSender;
};

// Parses a dotted IPv4 text and a decimal port text into a socket address.
bool ToSocketAddress(const std::string& ip, const std::string& port, sockaddr_in& address);
