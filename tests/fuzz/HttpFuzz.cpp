// libFuzzer target: the HTTP response of a description fetch, as the program reads it. The input
// is what a loopback server sends back to the real fetch (libcurl with the program's options):
// status line, headers, chunked or plain body, and the size cap, lowered here so that small
// inputs reach it.
#include "discovery/transport/HttpGet.h"
#include "support/LoopbackHttpServer.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

using namespace std::chrono_literals;

std::mutex responseLock;
std::string response;

LoopbackHttpServer& Server() {
    static LoopbackHttpServer server([](int fd, const std::string&) {
        std::string bytes;
        {
            std::lock_guard guard(responseLock);
            bytes = response;
        }
        LoopbackHttpServer::SendAll(fd, bytes);
    });
    return server;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LoopbackHttpServer& server = Server();
    if (!server.Listening())
        std::abort();
    {
        std::lock_guard guard(responseLock);
        response.assign(reinterpret_cast<const char*>(data), size);
    }
    // The server closes after each response, so no input makes the fetch wait for the limits.
    HttpLimits limits;
    limits.connect = 2s;
    limits.eachWait = 2s;
    limits.whole = 5s;
    limits.maxBody = 1024;
    std::string body;
    const bool fetched = HttpGetBody(server.Url("/rootDesc.xml"), body, limits);
    if (fetched && body.size() > limits.maxBody)
        std::abort();
    server.ForgetRequests();
    return 0;
}
