#pragma once

#include "discovery/transport/HttpGet.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class HttpRequest;

// The outcome of one GET of a batch: what HttpGetBody gives, and why it failed.
struct FetchResult {
    std::size_t id = 0;
    bool fetched = false;
    std::string body;
    std::string failure; // empty when fetched
};

// Description GETs side by side on one libcurl multi handle, each with the same request
// and bounds as HttpGetBody. At most kParallel run at once; the rest wait their turn in the
// order they were added. A connection that is not established within a short wait gets a
// fresh attempt beside it inside the connect bound (HttpRequest); a request is sent on one
// connection only. Runs on libcurl's socket interface: a wake-up handles the sockets that
// had something and the transfers whose time came, not every transfer under way, so that
// fetches waiting on a lossy network cost nothing while others progress. Used by one thread,
// except Wakeup.
class HttpMultiFetch {
public:
    // Enough that every device of a large network is read as soon as it is heard, even when a
    // lossy network keeps each fetch open for a second or more (60 devices heard within
    // 0.3 s queued behind 16); few enough that a flood of invented locations (up to 256 in a
    // run) is not tried all at once.
    static constexpr std::size_t kParallel = 64;

    explicit HttpMultiFetch(HttpLimits limits = {});
    ~HttpMultiFetch();
    HttpMultiFetch(const HttpMultiFetch&) = delete;
    HttpMultiFetch& operator=(const HttpMultiFetch&) = delete;

    using Done = std::function<void(FetchResult)>;

    void Add(std::size_t id, const std::string& url);
    // Nothing waiting and nothing running.
    bool Idle() const { return queued.empty() && running.empty(); }
    // Waits up to wait for network activity or a Wakeup (even with nothing to fetch), then
    // hands each finished fetch to done.
    void Step(std::chrono::milliseconds wait, const Done& done);
    // Ends every fetch still waiting or running as failed with reason.
    void GiveUp(const std::string& reason, const Done& done);
    // Any thread: ends a Step's wait early.
    void Wakeup();

private:
    struct Fetch {
        std::size_t id;
        std::unique_ptr<HttpRequest> request;
    };
    using Running = std::vector<Fetch>;

    void StartQueued(const Done& done);
    // Hands the fetch that ended with result (a CURLcode) to done.
    void End(Running::iterator entry, int result, const Done& done);
    // Reads what libcurl says has ended; true when a fetch ended.
    bool ReadEnded(const Done& done);
    // The wait, shortened to libcurl's timer and to the next connection attempt that is due.
    std::chrono::milliseconds WaitBefore(std::chrono::milliseconds wait) const;
    // Waits up to wait, then lets libcurl act on the sockets that are ready and on its timer.
    void WaitAndAct(std::chrono::milliseconds wait);

    // libcurl's callbacks: the sockets it wants watched and when it wants to be called.
    static int OnSocket(void* easy, int fd, int what, void* self, void* socketData);
    static int OnTimer(void* multi, long timeoutMs, void* self);

    HttpLimits limits;
    void* multi = nullptr;
    std::vector<std::pair<int, short>> watched; // socket and the poll events libcurl wants
    std::chrono::steady_clock::time_point timerDue = std::chrono::steady_clock::time_point::max();
    int wakeRead = -1; // a pipe: Wakeup writes, the wait reads
    int wakeWrite = -1;
    std::deque<std::pair<std::size_t, std::string>> queued;
    Running running;
};

// Fetches every url, kParallel at a time, and gives the results in the order of urls.
// Beyond bound from the start, the fetches still waiting or running are given up.
std::vector<FetchResult> FetchAll(const std::vector<std::string>& urls,
                                  std::chrono::milliseconds bound, const HttpLimits& limits = {});
