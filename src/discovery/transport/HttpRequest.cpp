#include "discovery/transport/HttpRequest.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <mutex>
#include <string_view>

namespace {

using Clock = std::chrono::steady_clock;

using Transfer = HttpRequest::Transfer;

// A description's header block is a few hundred bytes; a response whose headers go on past
// this is not a device's.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

// The system resends an unanswered SYN after 1 s, then 2 s more, and a device its unanswered
// SYN-ACK likewise: a lost SYN or SYN-ACK would cost seconds. A fresh connection after a short
// wait is usually answered at once, while the earlier ones still wait for what is resent; the
// waits grow so that a host that never answers costs four attempts, not dozens.
constexpr std::chrono::milliseconds kFirstAttemptWait{250};
constexpr std::chrono::milliseconds kLongestRetriedWait{1000};

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

// A location comes from anyone on the network: its host is never looked up, so that a
// datagram cannot make the program query a name server and contact a host of its choice.
// The url is parsed once, and the parsed form is what libcurl fetches.
CURLU* ParseNumericUrl(const std::string& url) {
    CURLU* parsed = curl_url();
    char* host = nullptr;
    const bool numeric =
        parsed != nullptr &&
        curl_url_set(parsed, CURLUPART_URL, url.c_str(), CURLU_GUESS_SCHEME) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK && IsNumericHost(host);
    curl_free(host);
    if (!numeric) {
        curl_url_cleanup(parsed);
        return nullptr;
    }
    return parsed;
}

// Called once a connection stands, before the request is sent on it: the first attempt to get
// there carries the request, any later one is closed unused.
int OnConnected(void* user, char*, char*, int, int) {
    auto* transfer = static_cast<Transfer*>(user);
    // Called again for the same transfer when libcurl found the kept-alive connection it took
    // closed by the server and makes a new one.
    if (transfer->connected) {
        return CURL_PREREQFUNC_OK;
    }
    if (*transfer->claimed) {
        transfer->outpaced = true;
        return CURL_PREREQFUNC_ABORT;
    }
    *transfer->claimed = true;
    transfer->connected = true;
    transfer->lastActivity = Clock::now(); // the wait for the answer starts here
    return CURL_PREREQFUNC_OK;
}

// Called at least once a second while the transfer runs (the speed check's timer); a non-zero
// result aborts it. The wait for a connection has its own bound.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* transfer = static_cast<Transfer*>(user);
    return transfer->connected && Clock::now() - transfer->lastActivity > transfer->eachWait ? 1
                                                                                             : 0;
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

HttpRequest::HttpRequest(const std::string& url, const HttpLimits& fetchLimits)
    : limits(fetchLimits), attemptWait(kFirstAttemptWait) {
    const auto host = HttpHostHeader(url);
    parsed = ParseNumericUrl(url);
    if (host.empty() || parsed == nullptr) {
        return;
    }
    // Exactly these headers after the request line, in this order; "Accept:" removes the
    // one libcurl would add.
    curl_slist* list = nullptr;
    for (const auto& line : {host, std::string("User-Agent: ") + kHttpUserAgent,
                             std::string("Content-Length: 0"), std::string("Accept:")}) {
        auto* longer = curl_slist_append(list, line.c_str());
        if (longer == nullptr) {
            curl_slist_free_all(list);
            return;
        }
        list = longer;
    }
    headers = list;
}

HttpRequest::~HttpRequest() {
    while (!attempts.empty()) {
        Remove(attempts.size() - 1);
    }
    curl_slist_free_all(headers);
    curl_url_cleanup(parsed);
}

bool HttpRequest::Start(CURLM* multiHandle) {
    multi = multiHandle;
    return Ready() && multi != nullptr && StartAttempt();
}

bool HttpRequest::StartAttempt() {
    CURL* handle = curl_easy_init();
    if (handle == nullptr) {
        return false;
    }
    auto attempt = std::make_unique<Attempt>();
    attempt->handle = handle;
    attempt->transfer = Transfer{&body, limits.maxBody, limits.eachWait, &claimed};
    Transfer* transfer = &attempt->transfer;
    // The parsed url is only read by libcurl, so the attempts share it.
    curl_easy_setopt(handle, CURLOPT_CURLU, parsed);
    // A location header could name any scheme (file:, ftp:, ...): only plain http is fetched.
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(handle, CURLOPT_HTTP09_ALLOWED, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBody));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, transfer);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, transfer);
    curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, OnConnected);
    curl_easy_setopt(handle, CURLOPT_PREREQDATA, transfer);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_PRIVATE, this);

    // Every attempt may wait for its connection until the connect bound; only the moment of
    // the next attempt depends on how many came before.
    using std::chrono::milliseconds;
    const auto now = Clock::now();
    const auto elapsed = std::chrono::duration_cast<milliseconds>(now - started);
    const auto connectLeft = std::min(limits.connect, limits.whole) - elapsed;
    // libcurl reads 0 as its default of minutes.
    const auto positive = [](milliseconds value) { return std::max<long>(1, value.count()); };
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, positive(connectLeft));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, positive(limits.whole - elapsed));
    // On the socket interface libcurl runs an idle transfer only when one of its timers is due;
    // a speed check wants one each second, which is what lets OnProgress end a silent one. The
    // check itself (under 1 byte/s for longer than the whole bound) never ends a transfer.
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(limits.whole.count() / 1000 + 1));
    if (curl_multi_add_handle(multi, handle) != CURLM_OK) {
        curl_easy_cleanup(handle);
        return false;
    }
    attempts.push_back(std::move(attempt));
    // 250 ms, 500 ms, 1 s apart; none when too little would be left for it.
    if (connectLeft - attemptWait < kFirstAttemptWait) {
        nextAttempt = Clock::time_point::max();
    } else {
        nextAttempt = now + attemptWait;
        attemptWait = attemptWait < kLongestRetriedWait ? attemptWait * 2 : limits.connect;
    }
    return true;
}

void HttpRequest::Remove(std::size_t index) {
    curl_multi_remove_handle(multi, attempts[index]->handle);
    curl_easy_cleanup(attempts[index]->handle);
    attempts.erase(attempts.begin() + static_cast<std::ptrdiff_t>(index));
}

void HttpRequest::Pace() {
    if (claimed) {
        nextAttempt = Clock::time_point::max();
        for (std::size_t i = attempts.size(); i-- > 0;) {
            if (!attempts[i]->transfer.connected) {
                Remove(i);
            }
        }
        return;
    }
    if (Clock::now() >= nextAttempt && !StartAttempt()) {
        nextAttempt = Clock::time_point::max();
    }
}

HttpRequest::Clock::time_point HttpRequest::NextAttempt() const {
    return nextAttempt;
}

bool HttpRequest::Ended(CURL* handle, CURLcode code, CURLcode& result) {
    std::size_t index = 0;
    while (index < attempts.size() && attempts[index]->handle != handle) {
        ++index;
    }
    if (index == attempts.size()) {
        return false;
    }
    const Transfer& transfer = attempts[index]->transfer;
    // Refused or unreachable says the same of every attempt; a lapsed wait or an attempt
    // outpaced by another says nothing of the others.
    const bool endsAll = transfer.connected || (!transfer.outpaced && code != CURLE_OPERATION_TIMEDOUT);
    if (endsAll) {
        curl_easy_getinfo(handle, CURLINFO_OS_ERRNO, &osError);
    }
    Remove(index);
    if (!endsAll && (!attempts.empty() || nextAttempt != Clock::time_point::max())) {
        return false;
    }
    while (!attempts.empty()) {
        Remove(attempts.size() - 1);
    }
    nextAttempt = Clock::time_point::max();
    result = code;
    return true;
}

std::string HttpRequest::Failure(CURLcode code) const {
    switch (code) {
    case CURLE_OK:
        return {};
    case CURLE_ABORTED_BY_CALLBACK:
        return "no data for " + std::to_string(limits.eachWait.count()) + " ms";
    case CURLE_WRITE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
        return "description larger than " + std::to_string(limits.maxBody) + " bytes";
    case CURLE_OPERATION_TIMEDOUT:
        return "timed out";
    case CURLE_UNSUPPORTED_PROTOCOL:
        return "not a plain http address";
    case CURLE_COULDNT_CONNECT:
        if (osError != 0) {
            char text[128];
            return Lower(strerror_r(static_cast<int>(osError), text, sizeof text));
        }
        break;
    default:
        break;
    }
    return Lower(curl_easy_strerror(code));
}
