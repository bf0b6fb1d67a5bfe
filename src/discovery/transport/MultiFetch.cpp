#include "discovery/transport/MultiFetch.h"

#include "discovery/transport/HttpRequest.h"

#include <algorithm>
#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

CURLM* Multi(void* handle) {
    return static_cast<CURLM*>(handle);
}

} // namespace

HttpMultiFetch::HttpMultiFetch(HttpLimits fetchLimits) : limits(fetchLimits) {
    HttpRequest::InitLibrary();
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead = ends[0];
        wakeWrite = ends[1];
    }
    multi = curl_multi_init();
    if (multi != nullptr) {
        curl_multi_setopt(Multi(multi), CURLMOPT_SOCKETFUNCTION, OnSocket);
        curl_multi_setopt(Multi(multi), CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(Multi(multi), CURLMOPT_TIMERFUNCTION, OnTimer);
        curl_multi_setopt(Multi(multi), CURLMOPT_TIMERDATA, this);
    }
}

HttpMultiFetch::~HttpMultiFetch() {
    running.clear(); // each request takes its handles off the multi handle first
    if (multi != nullptr) {
        curl_multi_cleanup(Multi(multi));
    }
    for (const int fd : {wakeRead, wakeWrite}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

int HttpMultiFetch::OnSocket(void*, int fd, int what, void* self, void*) {
    auto& watched = static_cast<HttpMultiFetch*>(self)->watched;
    const auto entry = std::find_if(watched.begin(), watched.end(),
                                    [fd](const auto& socket) { return socket.first == fd; });
    if (what == CURL_POLL_REMOVE) {
        if (entry != watched.end()) {
            watched.erase(entry);
        }
        return 0;
    }
    const short events = static_cast<short>(((what & CURL_POLL_IN) != 0 ? POLLIN : 0) |
                                            ((what & CURL_POLL_OUT) != 0 ? POLLOUT : 0));
    if (entry != watched.end()) {
        entry->second = events;
    } else {
        watched.emplace_back(fd, events);
    }
    return 0;
}

int HttpMultiFetch::OnTimer(void*, long timeoutMs, void* self) {
    static_cast<HttpMultiFetch*>(self)->timerDue =
        timeoutMs < 0 ? std::chrono::steady_clock::time_point::max()
                      : std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    return 0;
}

void HttpMultiFetch::Add(std::size_t id, const std::string& url) {
    queued.emplace_back(id, url);
}

void HttpMultiFetch::StartQueued(const Done& done) {
    while (!queued.empty() && running.size() < kParallel) {
        auto [id, url] = std::move(queued.front());
        queued.pop_front();
        auto request = std::make_unique<HttpRequest>(url, limits);
        if (multi == nullptr || !request->Start(Multi(multi))) {
            done(FetchResult{id, false, {}, "not a usable http address"});
            continue;
        }
        running.push_back(Fetch{id, std::move(request)});
    }
}

void HttpMultiFetch::End(Running::iterator entry, int result, const Done& done) {
    const auto code = static_cast<CURLcode>(result);
    Fetch fetch = std::move(*entry);
    running.erase(entry);
    done(FetchResult{fetch.id, code == CURLE_OK, std::move(fetch.request->Body()),
                     fetch.request->Failure(code)});
}

bool HttpMultiFetch::ReadEnded(const Done& done) {
    int left = 0;
    bool ended = false;
    while (CURLMsg* message = curl_multi_info_read(Multi(multi), &left)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        char* owner = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner);
        const auto entry = std::find_if(running.begin(), running.end(), [owner](const Fetch& f) {
            return static_cast<void*>(f.request.get()) == static_cast<void*>(owner);
        });
        CURLcode result = CURLE_OK;
        if (entry != running.end() &&
            entry->request->Ended(message->easy_handle, message->data.result, result)) {
            End(entry, result, done);
            ended = true;
        }
    }
    return ended;
}

std::chrono::milliseconds HttpMultiFetch::WaitBefore(std::chrono::milliseconds wait) const {
    const auto now = HttpRequest::Clock::now();
    const auto shorten = [&wait, now](HttpRequest::Clock::time_point due) {
        if (due != HttpRequest::Clock::time_point::max()) {
            wait = std::clamp(std::chrono::ceil<std::chrono::milliseconds>(due - now),
                              std::chrono::milliseconds(0), wait);
        }
    };
    shorten(timerDue);
    for (const auto& fetch : running) {
        shorten(fetch.request->NextAttempt());
    }
    return wait;
}

void HttpMultiFetch::WaitAndAct(std::chrono::milliseconds wait) {
    std::vector<pollfd> sockets;
    sockets.reserve(watched.size() + 1);
    for (const auto& [fd, events] : watched) {
        sockets.push_back(pollfd{fd, events, 0});
    }
    sockets.push_back(pollfd{wakeRead, POLLIN, 0}); // -1 when there is no pipe: skipped
    const int ready =
        ::poll(sockets.data(), sockets.size(), static_cast<int>(WaitBefore(wait).count()));
    if (ready > 0 && sockets.back().revents != 0) {
        char drained[64];
        while (::read(wakeRead, drained, sizeof drained) > 0) {
        }
    }
    int active = 0;
    // libcurl may change what it watches while it acts: the sockets polled are a copy.
    for (std::size_t i = 0; ready > 0 && i + 1 < sockets.size(); ++i) {
        const short got = sockets[i].revents;
        if (got == 0) {
            continue;
        }
        const int mask = ((got & POLLIN) != 0 ? CURL_CSELECT_IN : 0) |
                         ((got & POLLOUT) != 0 ? CURL_CSELECT_OUT : 0) |
                         ((got & (POLLERR | POLLHUP | POLLNVAL)) != 0 ? CURL_CSELECT_ERR : 0);
        curl_multi_socket_action(Multi(multi), sockets[i].fd, mask, &active);
    }
    if (std::chrono::steady_clock::now() >= timerDue) {
        timerDue = std::chrono::steady_clock::time_point::max();
        curl_multi_socket_action(Multi(multi), CURL_SOCKET_TIMEOUT, 0, &active);
    }
}

void HttpMultiFetch::Step(std::chrono::milliseconds wait, const Done& done) {
    const bool hadQueued = !queued.empty();
    StartQueued(done);
    if (multi == nullptr) {
        return;
    }
    if (running.empty() && hadQueued) {
        return; // every queued fetch ended at once (unusable addresses): nothing to wait for
    }
    // With nothing running this waits for more to be added, or a caller waiting for work
    // would spin.
    WaitAndAct(wait);
    const bool ended = ReadEnded(done);
    // A fresh attempt is added with a time-out of zero, so the next wait ends at once for it.
    for (auto& fetch : running) {
        fetch.request->Pace();
    }
    if (ended) {
        StartQueued(done);
    }
}

void HttpMultiFetch::GiveUp(const std::string& reason, const Done& done) {
    for (auto& fetch : running) {
        done(FetchResult{fetch.id, false, std::move(fetch.request->Body()), reason});
    }
    running.clear();
    for (auto& [id, url] : queued) {
        done(FetchResult{id, false, {}, reason});
    }
    queued.clear();
}

void HttpMultiFetch::Wakeup() {
    if (wakeWrite >= 0) {
        const char wake = 1;
        // A full pipe already holds a wake-up.
        [[maybe_unused]] const auto written = ::write(wakeWrite, &wake, 1);
    }
}

std::vector<FetchResult> FetchAll(const std::vector<std::string>& urls,
                                  std::chrono::milliseconds bound, const HttpLimits& limits) {
    std::vector<FetchResult> results(urls.size());
    HttpMultiFetch fetch(limits);
    for (std::size_t i = 0; i < urls.size(); ++i) {
        fetch.Add(i, urls[i]);
    }
    const auto store = [&results](FetchResult result) { results[result.id] = std::move(result); };
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!fetch.Idle()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            fetch.GiveUp("the identification took longer than " +
                             std::to_string(bound.count() / 1000) + " s",
                         store);
            break;
        }
        fetch.Step(std::min(left, std::chrono::milliseconds(1000)), store);
    }
    return results;
}
