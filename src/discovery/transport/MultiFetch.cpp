#include "discovery/transport/MultiFetch.h"

#include "discovery/transport/HttpRequest.h"

#include <algorithm>
#include <curl/curl.h>

namespace {

CURLM* Multi(void* handle) {
    return static_cast<CURLM*>(handle);
}

} // namespace

HttpMultiFetch::HttpMultiFetch(HttpLimits fetchLimits) : limits(fetchLimits) {
    HttpRequest::InitLibrary();
    multi = curl_multi_init();
}

HttpMultiFetch::~HttpMultiFetch() {
    running.clear(); // each request takes its handles off the multi handle first
    if (multi != nullptr) {
        curl_multi_cleanup(Multi(multi));
    }
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
    for (const auto& fetch : running) {
        const auto next = fetch.request->NextAttempt();
        if (next != HttpRequest::Clock::time_point::max()) {
            wait = std::clamp(std::chrono::ceil<std::chrono::milliseconds>(next - now),
                              std::chrono::milliseconds(0), wait);
        }
    }
    return wait;
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
    if (running.empty()) {
        // Nothing to do until more is added: wait, or a caller waiting for work would spin.
        curl_multi_poll(Multi(multi), nullptr, 0, static_cast<int>(wait.count()), nullptr);
        return;
    }
    int active = 0;
    curl_multi_perform(Multi(multi), &active);
    const bool ended = ReadEnded(done);
    // A fresh attempt is added with a time-out of zero, so the wait below ends at once for it.
    for (auto& fetch : running) {
        fetch.request->Pace();
    }
    if (ended) {
        StartQueued(done);
        return; // new transfers start at the next step without waiting
    }
    curl_multi_poll(Multi(multi), nullptr, 0, static_cast<int>(WaitBefore(wait).count()),
                    nullptr);
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
    if (multi != nullptr) {
        curl_multi_wakeup(Multi(multi));
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
