#include "client/web_address.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include "client/curl_library.h"
#include "client/http.h"

namespace korvid {
namespace {

std::string LowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

void Tell(std::string* failure, const char* why) {
    if (failure != nullptr) {
        *failure = why;
    }
}

// One parsed address of libcurl's, released with it.
class ParsedUrl {
  public:
    explicit ParsedUrl(const CurlFunctions& curl) : curl_(&curl), handle_(curl.UrlInit()) {}
    ParsedUrl(const ParsedUrl&) = delete;
    ParsedUrl& operator=(const ParsedUrl&) = delete;
    ~ParsedUrl() {
        if (handle_ != nullptr) {
            curl_->UrlCleanup(handle_);
        }
    }

    bool Parse(const std::string& address) {
        return handle_ != nullptr &&
               curl_->UrlSet(handle_, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK;
    }

    // The part, or empty when the address has none.
    std::optional<std::string> Part(CURLUPart part, unsigned flags = 0) const {
        char* text = nullptr;
        if (curl_->UrlGet(handle_, part, &text, flags) != CURLUE_OK || text == nullptr) {
            return std::nullopt;
        }
        std::string value(text);
        curl_->Free(text);
        return value;
    }

  private:
    const CurlFunctions* curl_;
    CURLU* handle_;
};

}  // namespace

std::optional<WebAddress> ParseWebAddress(std::string_view address, std::string* failure) {
    const CurlFunctions* curl = LoadedCurl();
    if (curl == nullptr) {
        Tell(failure, CurlLibraryError().c_str());
        return std::nullopt;
    }
    ParsedUrl parsed(*curl);
    if (!parsed.Parse(EncodeRequestTarget(address))) {
        Tell(failure, "malformed address");
        return std::nullopt;
    }
    const auto scheme = parsed.Part(CURLUPART_SCHEME);
    const auto host = parsed.Part(CURLUPART_HOST);
    const auto port = parsed.Part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    const auto url = parsed.Part(CURLUPART_URL);
    WebAddress result;
    if (!scheme || !host || host->empty() || !port || !url ||
        std::from_chars(port->data(), port->data() + port->size(), result.port).ec != std::errc()) {
        Tell(failure, "no address with a host");
        return std::nullopt;
    }
    result.scheme = LowerAscii(*scheme);
    result.host = LowerAscii(*host);
    result.user_info = parsed.Part(CURLUPART_USER).has_value() ||
                       parsed.Part(CURLUPART_PASSWORD).has_value() ||
                       parsed.Part(CURLUPART_OPTIONS).has_value();
    result.url = *url;
    return result;
}

std::optional<std::string> AddressOnOrigin(std::string_view address, const WebAddress& origin,
                                           std::string* failure) {
    std::optional<WebAddress> parsed = ParseWebAddress(address, failure);
    if (!parsed) {
        return std::nullopt;
    }
    if (parsed->user_info) {
        Tell(failure, "the address carries a user name or password");
    } else if ((parsed->scheme != "http" && parsed->scheme != "https") ||
               parsed->scheme != origin.scheme) {
        Tell(failure, "the address is not of the expected scheme");
    } else if (parsed->host != origin.host || parsed->port != origin.port) {
        Tell(failure, "the address is on another host");
    } else {
        return std::move(parsed->url);
    }
    return std::nullopt;
}

}  // namespace korvid
