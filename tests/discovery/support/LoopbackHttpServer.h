#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A tiny HTTP server on one loopback address, serving one connection at a time on a
// thread of its own. It records each raw request head and lets a responder write
// whatever bytes the test wants, however slowly.
class LoopbackHttpServer {
public:
    // Writes the response on the connection fd; the request head is given as received.
    using Responder = std::function<void(int fd, const std::string& request)>;

    // Held: the listen queue is kept full, so the system drops every SYN unanswered (as a
    // lossy link drops a SYN-ACK) until Open.
    enum class Start { Answering, Held };

    explicit LoopbackHttpServer(Responder responder, const std::string& address = "127.0.0.1",
                                int port = 0, Start start = Start::Answering);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool Listening() const { return listener >= 0; }
    int Port() const { return port; }
    // "http://address:port" followed by path.
    std::string Url(const std::string& path) const;
    std::vector<std::string> Requests() const;
    // For servers that answer without end (fuzzing): drops the recorded requests.
    void ForgetRequests();
    // A held server starts answering.
    void Open();
    // The local ports of client sockets whose SYN to this server is still unanswered, as
    // the system lists them: each is one connection attempt.
    std::vector<int> UnansweredConnections() const;

    // Response helpers for responders.
    // False once the client has gone.
    static bool SendAll(int fd, const std::string& bytes);
    // A complete response with a Content-Length.
    static std::string Response(const std::string& status, const std::string& body);
    // Waits until the client closes the connection (at most 20 s).
    static void WaitForClose(int fd);

private:
    void Serve();

    Responder responder;
    std::string address;
    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    // Set by Open once the queue is free; the server thread accepts only after that.
    std::atomic<bool> held{false};
    int queueFiller = -1;
    mutable std::mutex lock;
    std::vector<std::string> requests;
    std::thread thread;
};

// The request line's path of a raw request head ("GET /a HTTP/1.1..." gives "/a").
std::string RequestPath(const std::string& request);

// A loopback TCP port that nothing listens on: a connection to it is refused.
int ClosedTcpPort();
