#include "discovery/transport/HttpGet.h"

#include "discovery/transport/HttpRequest.h"
#include "discovery/transport/MultiFetch.h"

#include <curl/curl.h>
#include <memory>

namespace {

struct CurlDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
template <typename T> using CurlPtr = std::unique_ptr<T, CurlDeleter>;

struct UrlPart {
    char* text = nullptr;
    ~UrlPart() { curl_free(text); }
};

// url as libcurl reads it for a fetch; null when it cannot.
CurlPtr<CURLU> ParsedUrl(const std::string& url) {
    HttpRequest::InitLibrary();
    CurlPtr<CURLU> parsed(curl_url());
    if (!parsed ||
        curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_GUESS_SCHEME) != CURLUE_OK) {
        return nullptr;
    }
    return parsed;
}

} // namespace

std::string UrlHost(const std::string& url) {
    const auto parsed = ParsedUrl(url);
    UrlPart host;
    if (!parsed || curl_url_get(parsed.get(), CURLUPART_HOST, &host.text, 0) != CURLUE_OK) {
        return {};
    }
    return host.text;
}

std::string HttpHostHeader(const std::string& url) {
    const auto parsed = ParsedUrl(url);
    UrlPart host;
    if (!parsed || curl_url_get(parsed.get(), CURLUPART_HOST, &host.text, 0) != CURLUE_OK) {
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

// The batch's path with one url, so that a lone fetch retries a connection as a batch does.
bool HttpGetBody(const std::string& url, std::string& body, const HttpLimits& limits) {
    auto results = FetchAll({url}, limits.whole, limits);
    body = std::move(results.front().body);
    return results.front().fetched;
}

bool HttpGetText(const std::string& url, TextLines& lines, const HttpLimits& limits) {
    std::string body;
    const bool fetched = HttpGetBody(url, body, limits);
    lines = SplitTextToLines(body);
    return fetched;
}
