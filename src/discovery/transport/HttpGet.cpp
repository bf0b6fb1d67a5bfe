#include "discovery/transport/HttpGet.h"

#include "discovery/transport/HttpRequest.h"

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

} // namespace

std::string HttpHostHeader(const std::string& url) {
    HttpRequest::InitLibrary();
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
    HttpRequest::InitLibrary();
    HttpRequest request(url, limits);
    if (!request.Ready()) {
        return false;
    }
    const bool fetched = curl_easy_perform(request.Handle()) == CURLE_OK;
    body = std::move(request.Body());
    return fetched;
}

bool HttpGetText(const std::string& url, TextLines& lines, const HttpLimits& limits) {
    std::string body;
    const bool fetched = HttpGetBody(url, body, limits);
    lines = SplitTextToLines(body);
    return fetched;
}
