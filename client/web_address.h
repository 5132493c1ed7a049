#pragma once
// Web addresses read as the transfer reads them. A check of the host of an address must not
// split the text by hand: "http://a.example#@b.example/x" has the host a.example when cut at
// "#", yet the transfer encodes the "#" and libcurl then reads "a.example%23" as a user name
// and fetches from b.example. Here the address is encoded as HttpGet encodes it and parsed by
// libcurl's own URL parser, and the check gives back the address as that parser wrote it, so
// what is checked is what is fetched. For any address that names the host it must come from
// (the covers of the suggestion service; the data-set sources may use it as well).

#include <optional>
#include <string>
#include <string_view>

namespace korvid {

struct WebAddress {
    std::string scheme;  // lower case
    std::string host;    // lower case, as libcurl normalises it ("0x7f.1" is "127.0.0.1")
    long port = 0;       // the port given, or the scheme's default (80, 443)
    // A user name, a password or login options before an "@": the transfer would send them.
    bool user_info = false;
    // The whole address as libcurl's parser gives it back: what a transfer of it fetches.
    std::string url;
};

// The address as HttpGet reads it: EncodeRequestTarget first, then libcurl's URL parser.
// Empty, with the reason in *failure (when given), when libcurl cannot be loaded or the
// address is no absolute address with a host.
std::optional<WebAddress> ParseWebAddress(std::string_view address, std::string* failure = nullptr);

// The address to hand the transfer when the address may be fetched from origin's host: http
// or https, the scheme of origin (letter case aside), origin's host and port (a default port
// written out or left away alike), and no user name or password. Empty, with the reason in
// *failure (when given), for any other.
std::optional<std::string> AddressOnOrigin(std::string_view address, const WebAddress& origin,
                                           std::string* failure = nullptr);

}  // namespace korvid
