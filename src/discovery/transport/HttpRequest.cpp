#include "HttpRequest.h"

#include <cstring>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

using Transfer = HttpRequest::Transfer;

std::size_t OnBody(char* data, std::size_t, std::size_t size, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    transfer->lastActivity = Clock::now();
    if (transfer->body->size() + size > transfer->maxBody) {
        return 0; // aborts the transfer: a body over the limit is a failed fetch
    }
    transfer->body->append(data, size);
    return size;
}

std::size_t OnHeader(char*, std::size_t, std::size_t size, void* user) {
    static_cast<Transfer*>(user)->lastActivity = Clock::now();
    return size;
}

// Called once the connection stands: the wait for the answer starts here.
int OnConnected(void* user, char*, char*, int, int) {
    static_cast<Transfer*>(user)->lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

// Called at least once a second while the transfer runs; a non-zero result aborts it.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* transfer = static_cast<Transfer*>(user);
    return Clock::now() - transfer->lastActivity > transfer->eachWait ? 1 : 0;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

} // namespace

// Initialised once and never cleaned up: a worker may still be fetching while the
// program exits.
void HttpRequest::InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpRequest::HttpRequest(const std::string& url, const HttpLimits& limits)
    : transfer{&body, limits.maxBody, limits.eachWait} {
    const auto host = HttpHostHeader(url);
    if (host.empty()) {
        return;
    }
    // Exactly these headers after the request line, in this order; "Accept:" removes the
    // one libcurl would add.
    for (const auto& line : {host, std::string("User-Agent: ") + kHttpUserAgent,
                             std::string("Content-Length: 0"), std::string("Accept:")}) {
        auto* longer = curl_slist_append(headers, line.c_str());
        if (longer == nullptr) {
            return;
        }
        headers = longer;
    }
    handle = curl_easy_init();
    if (handle == nullptr) {
        return;
    }
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    // A location header could name any scheme (file:, ftp:, ...): only plain http is fetched.
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(handle, CURLOPT_HTTP09_ALLOWED, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.whole.count()));
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBody));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, OnConnected);
    curl_easy_setopt(handle, CURLOPT_PREREQDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
}

HttpRequest::~HttpRequest() {
    if (handle != nullptr) {
        curl_easy_cleanup(handle);
    }
    curl_slist_free_all(headers);
}

std::string HttpRequest::Failure(CURLcode code) const {
    switch (code) {
    case CURLE_OK:
        return {};
    case CURLE_ABORTED_BY_CALLBACK:
        return "no data for " + std::to_string(transfer.eachWait.count()) + " ms";
    case CURLE_WRITE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
        return "description larger than " + std::to_string(transfer.maxBody) + " bytes";
    case CURLE_OPERATION_TIMEDOUT:
        return "timed out";
    case CURLE_UNSUPPORTED_PROTOCOL:
        return "not a plain http address";
    case CURLE_COULDNT_CONNECT: {
        long error = 0;
        if (handle != nullptr && curl_easy_getinfo(handle, CURLINFO_OS_ERRNO, &error) == CURLE_OK &&
            error != 0) {
            char text[128];
            return Lower(strerror_r(static_cast<int>(error), text, sizeof text));
        }
        break;
    }
    default:
        break;
    }
    return Lower(curl_easy_strerror(code));
}
