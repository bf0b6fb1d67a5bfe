#include "discovery/transport/MultiFetch.h"

#include "discovery/transport/HttpRequest.h"

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
    for (auto& [handle, entry] : running) {
        curl_multi_remove_handle(Multi(multi), handle);
    }
    running.clear();
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
        if (multi == nullptr || !request->Ready() ||
            curl_multi_add_handle(Multi(multi), request->Handle()) != CURLM_OK) {
            done(FetchResult{id, false, {}, "not a usable http address"});
            continue;
        }
        void* handle = request->Handle();
        running.emplace(handle, std::make_pair(id, std::move(request)));
    }
}

void HttpMultiFetch::End(Running::iterator entry, int result, const Done& done) {
    const auto code = static_cast<CURLcode>(result);
    auto [id, request] = std::move(entry->second);
    running.erase(entry);
    done(FetchResult{id, code == CURLE_OK, std::move(request->Body()), request->Failure(code)});
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
    int left = 0;
    bool ended = false;
    std::vector<CURL*> retried;
    while (CURLMsg* message = curl_multi_info_read(Multi(multi), &left)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        auto entry = running.find(message->easy_handle);
        if (entry == running.end()) {
            continue;
        }
        const CURLcode code = message->data.result;
        curl_multi_remove_handle(Multi(multi), message->easy_handle);
        if (entry->second.second->PrepareRetry(code)) {
            retried.push_back(message->easy_handle);
            continue;
        }
        End(entry, code, done);
        ended = true;
    }
    // Added back once the messages are read: a fresh connection on the same request.
    for (CURL* handle : retried) {
        if (curl_multi_add_handle(Multi(multi), handle) != CURLM_OK) {
            End(running.find(handle), CURLE_OPERATION_TIMEDOUT, done);
        }
        ended = true;
    }
    if (ended) {
        StartQueued(done);
        return; // new transfers start at the next step without waiting
    }
    curl_multi_poll(Multi(multi), nullptr, 0, static_cast<int>(wait.count()), nullptr);
}

void HttpMultiFetch::GiveUp(const std::string& reason, const Done& done) {
    for (auto& [handle, entry] : running) {
        curl_multi_remove_handle(Multi(multi), handle);
        done(FetchResult{entry.first, false, std::move(entry.second->Body()), reason});
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
