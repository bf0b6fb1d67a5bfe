#pragma once

#include "discovery/transport/HttpGet.h"

#include <chrono>
#include <curl/curl.h>
#include <memory>
#include <string>
#include <vector>

// One description GET, configured once for a lone fetch and for fetches side by side alike:
// the request's exact headers, plain http only, and the bounds of HttpLimits. It runs on a
// libcurl multi handle as one or more connection attempts: an attempt not established within
// a short wait gets a fresh one beside it, and the earlier ones go on, since a device resends a
// lost SYN-ACK a second after the SYN and the earlier attempt may then be the first to stand.
// The first connection that stands carries the request; the other attempts are closed before
// they send anything, so that the request goes out once. Owns its easy handles and header
// list; libcurl keeps pointers into them, so it never moves.
class HttpRequest {
public:
    using Clock = std::chrono::steady_clock;

    HttpRequest(const std::string& url, const HttpLimits& limits);
    // Takes what is still under way off the multi handle.
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Once per process, before any handle is made; later calls do nothing.
    static void InitLibrary();

    // False when the url could not be parsed or names its host other than by a numeric
    // address.
    bool Ready() const { return parsed != nullptr && headers != nullptr; }
    // Adds the first attempt to multi; false when libcurl had no handle to give or multi
    // refused it. Every later attempt goes to the same multi handle.
    bool Start(CURLM* multi);
    // Called after each run of the multi handle: closes the attempts beside a connection
    // that stands, or starts a fresh attempt when the newest has waited its turn.
    void Pace();
    // When Pace has a fresh attempt to start; Clock::time_point::max() when none is planned.
    Clock::time_point NextAttempt() const;
    // The transfer on handle ended with code: true when that ends the request, with the code
    // that stands for it in result. An attempt that never connected and ran out of time ends
    // the request only when it was the last one.
    bool Ended(CURL* handle, CURLcode code, CURLcode& result);
    // Whatever body arrived so far.
    std::string& Body() { return body; }

    // A short reason for a request that ended with code, in lower case ("connection refused").
    std::string Failure(CURLcode code) const;

    // Called by libcurl; public only for its C callbacks.
    struct Transfer {
        std::string* body;
        std::size_t maxBody;
        std::chrono::milliseconds eachWait;
        // Set by the first attempt whose connection stands; shared by the request's attempts.
        bool* claimed;
        Clock::time_point lastActivity = Clock::now();
        std::size_t headerBytes = 0;
        bool connected = false;  // this attempt's connection carries the request
        bool outpaced = false;   // it stood after another one had: closed unused
    };

private:
    struct Attempt {
        CURL* handle = nullptr;
        Transfer transfer;
    };

    // A fresh attempt on multi with the time-outs of what is left of the bounds, and the
    // moment of the next one; false when it could not be made.
    bool StartAttempt();
    void Remove(std::size_t index);

    CURLM* multi = nullptr;
    curl_slist* headers = nullptr;
    CURLU* parsed = nullptr;
    std::string body;
    HttpLimits limits;
    Clock::time_point started = Clock::now();
    std::vector<std::unique_ptr<Attempt>> attempts;
    bool claimed = false;
    std::chrono::milliseconds attemptWait;
    Clock::time_point nextAttempt = Clock::time_point::max();
    long osError = 0; // of the attempt that ended the request
};
