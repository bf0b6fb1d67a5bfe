#pragma once

#include "discovery/transport/HttpGet.h"

#include <chrono>
#include <curl/curl.h>
#include <memory>
#include <string>

// One description GET, configured once for a lone fetch and for fetches side by side alike:
// the request's exact headers, plain http only, and the bounds of HttpLimits. Owns its easy
// handle and header list; libcurl keeps pointers into it, so it never moves.
class HttpRequest {
public:
    HttpRequest(const std::string& url, const HttpLimits& limits);
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Once per process, before any handle is made; later calls do nothing.
    static void InitLibrary();

    // False when the url could not be parsed, names its host other than by a numeric address,
    // or libcurl had no handle to give.
    bool Ready() const { return handle != nullptr; }
    CURL* Handle() const { return handle; }
    // Whatever body arrived so far.
    std::string& Body() { return body; }

    // A short reason for a transfer that ended with code, in lower case ("connection refused").
    std::string Failure(CURLcode code) const;

    // After a transfer that ended with code: true when its connection was never established
    // and the connect bound leaves time for another attempt, which the handle is then set up
    // for (a fresh connection; the request itself is still sent once).
    bool PrepareRetry(CURLcode code);

    // Called by libcurl; public only for its C callbacks.
    struct Transfer {
        std::string* body;
        std::size_t maxBody;
        std::chrono::milliseconds eachWait;
        std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
        std::size_t headerBytes = 0;
        bool connected = false;
    };

private:
    // Sets the time-outs of the next connection attempt from what is left of the bounds.
    void SetAttemptTimeouts();

    CURL* handle = nullptr;
    curl_slist* headers = nullptr;
    CURLU* parsed = nullptr;
    std::string body;
    Transfer transfer;
    HttpLimits limits;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::chrono::milliseconds attemptWait;
    bool lastAttempt = false;
};
