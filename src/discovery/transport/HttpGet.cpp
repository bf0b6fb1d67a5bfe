#include "HttpGet.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <string_view>

namespace {

using Clock = std::chrono::steady_clock;

// Initialised once and never cleaned up: a worker may still be fetching while the
// program exits.
void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
template <typename T> using CurlPtr = std::unique_ptr<T, CurlDeleter>;

struct UrlPart {
    char* text = nullptr;
    ~UrlPart() { curl_free(text); }
};

// A description's header block is a few hundred bytes; a response whose headers go on past
// this is not a device's.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

struct Transfer {
    std::string* body;
    std::size_t maxBody;
    std::chrono::milliseconds eachWait;
    Clock::time_point lastActivity = Clock::now();
    std::size_t headerBytes = 0;
};

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
    auto* transfer = static_cast<Transfer*>(user);
    transfer->lastActivity = Clock::now();
    transfer->headerBytes += size;
    return transfer->headerBytes > kMaxHeaderBytes ? 0 : size;
}

// An IPv4 address in dotted form, or an IPv6 one in brackets: a host that needs no lookup.
bool IsNumericHost(std::string_view host) {
    unsigned char address[16];
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        const std::string inside(host.substr(1, host.size() - 2));
        return inet_pton(AF_INET6, inside.c_str(), address) == 1;
    }
    return inet_pton(AF_INET, std::string(host).c_str(), address) == 1;
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

} // namespace

std::string HttpHostHeader(const std::string& url) {
    InitCurlOnce();
    CurlPtr<CURLU> parsed(curl_url());
    if (!parsed ||
        curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_GUESS_SCHEME) != CURLUE_OK) {
        return {};
    }
    UrlPart host;
    if (curl_url_get(parsed.get(), CURLUPART_HOST, &host.text, 0) != CURLUE_OK) {
        return {};
    }
    std::string header = std::string("Host: ") + host.text;
    UrlPart port;
    if (curl_url_get(parsed.get(), CURLUPART_PORT, &port.text, 0) == CURLUE_OK &&
        std::string(port.text) != "80") {
        header += ':';
        header += port.text;
    }
    return header;
}

bool HttpGetBody(const std::string& url, std::string& body, const HttpLimits& limits) {
    body.clear();
    const auto host = HttpHostHeader(url);
    if (host.empty()) {
        return false;
    }
    // A location comes from anyone on the network: its host is never looked up, so that a
    // datagram cannot make the program query a name server and contact a host of its choice.
    // The url is parsed once, and the parsed form is what libcurl fetches.
    CurlPtr<CURLU> parsed(curl_url());
    UrlPart parsedHost;
    if (!parsed ||
        curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_GUESS_SCHEME) != CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_HOST, &parsedHost.text, 0) != CURLUE_OK ||
        !IsNumericHost(parsedHost.text)) {
        return false;
    }
    CurlPtr<CURL> curl(curl_easy_init());
    if (!curl) {
        return false;
    }
    // Exactly these headers after the request line, in this order; "Accept:" removes the
    // one libcurl would add.
    CurlPtr<curl_slist> headers;
    for (const auto& line : {host, std::string("User-Agent: ") + kHttpUserAgent,
                             std::string("Content-Length: 0"), std::string("Accept:")}) {
        auto* longer = curl_slist_append(headers.get(), line.c_str());
        if (longer == nullptr) {
            return false;
        }
        static_cast<void>(headers.release());
        headers.reset(longer);
    }
    Transfer transfer{&body, limits.maxBody, limits.eachWait};
    auto* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_CURLU, parsed.get());
    // A location header could name any scheme (file:, ftp:, ...): only plain http is fetched.
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(handle, CURLOPT_HTTP09_ALLOWED, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
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
    return curl_easy_perform(handle) == CURLE_OK;
}

bool HttpGetText(const std::string& url, TextLines& lines, const HttpLimits& limits) {
    std::string body;
    const bool fetched = HttpGetBody(url, body, limits);
    lines = SplitTextToLines(body);
    return fetched;
}
