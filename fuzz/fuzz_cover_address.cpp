// The suggestion service's answer and the cover address check on any bytes. The first byte
// picks the service's base; the rest is the answer, and is also taken as an address itself.
// The answer is read without a crash or an exception; every address the check allows (the
// picture's and its sized form) is one the transfer fetches from the allowed host alone: read
// again as the transfer reads it (the request-target encoding, then libcurl's URL parser
// directly), it has the allowed scheme, host and port and no user name, password or options.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "client/curl_library.h"
#include "client/http.h"
#include "client/suggest_cover.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace korvid;
using namespace korvid::fuzz;

struct Base {
    const char* base;
    const char* scheme;  // what an allowed address must have
    const char* host;
    const char* port;
};

constexpr Base Bases[] = {
    {DefaultSuggestBase, "https", DefaultImageHost, "443"},
    {"http://127.0.0.1:8642", "http", "127.0.0.1", "8642"},
    {"HTTP://127.0.0.1:8642/", "http", "127.0.0.1", "8642"},
    {"https://Images.Example", "https", "images.example", "443"},
};

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// One part of a parsed address, or empty when it has none.
std::optional<std::string> Part(const CurlFunctions& curl, CURLU* url, CURLUPart part,
                                unsigned flags = 0) {
    char* text = nullptr;
    if (curl.UrlGet(url, part, &text, flags) != CURLUE_OK || text == nullptr) {
        return std::nullopt;
    }
    std::string value(text);
    curl.Free(text);
    return value;
}

// The address the check allowed, read as HttpGet hands it to libcurl.
void CheckFetchedFromTheAllowedHost(const std::string& allowed, const Base& base) {
    const CurlFunctions* curl = LoadedCurl();
    Check(curl != nullptr, "libcurl is not loaded");
    CURLU* url = curl->UrlInit();
    Check(url != nullptr, "no URL handle");
    const std::string sent = EncodeRequestTarget(allowed);
    const bool parsed = curl->UrlSet(url, CURLUPART_URL, sent.c_str(), 0) == CURLUE_OK;
    const auto scheme = Part(*curl, url, CURLUPART_SCHEME);
    const auto host = Part(*curl, url, CURLUPART_HOST);
    const auto port = Part(*curl, url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    const bool user = Part(*curl, url, CURLUPART_USER).has_value() ||
                      Part(*curl, url, CURLUPART_PASSWORD).has_value() ||
                      Part(*curl, url, CURLUPART_OPTIONS).has_value();
    curl->UrlCleanup(url);
    Check(parsed, "an allowed address does not parse", allowed);
    Check(scheme && Lower(*scheme) == base.scheme, "an allowed address of another scheme", allowed);
    Check(host && Lower(*host) == base.host, "an allowed address on another host", allowed);
    Check(port && *port == base.port, "an allowed address on another port", allowed);
    Check(!user, "an allowed address with a user name or password", allowed);
}

void CheckAddress(std::string_view address, const Base& base) {
    for (const std::string& each :
         {std::string(address), SizedCoverAddress(address, 2 * CoverBoxHeight)}) {
        const std::optional<std::string> allowed = AllowedCoverAddress(each, base.base);
        Check(allowed.has_value() == IsAllowedCoverAddress(each, base.base),
              "the two forms of the check disagree", each);
        if (allowed) {
            CheckFetchedFromTheAllowedHost(*allowed, base);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const Base& base = Bases[data[0] % (sizeof Bases / sizeof Bases[0])];
    const std::string_view rest = AsText(data + 1, size - 1);

    std::string failure;
    const std::string address = CoverAddressFromSuggestion(rest, "tt0133093", &failure);
    Check(address.empty() != failure.empty(), "an answer with both an address and a failure",
          failure);
    if (!address.empty()) {
        CheckAddress(address, base);
    }
    CheckAddress(rest, base);
    return 0;
}
