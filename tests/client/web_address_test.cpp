// Addresses read as the transfer reads them (libcurl's URL parser after the request-target
// encoding), and the check that one may be fetched from a given host.

#include "client/web_address.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace korvid {
namespace {

TEST(WebAddressTest, ReadsTheHostTheTransferWouldAsk) {
    struct Case {
        const char* address;
        const char* host;  // nullptr: no address with a host
        long port;
        bool user_info;
    };
    const Case cases[] = {
        {"HTTPS://Images.Example:0443/a b.jpg", "images.example", 443, false},
        {"http://images.example#@other.example/x.jpg", "other.example", 80, true},
        {"http://images.example\\@other.example/x.jpg", "other.example", 80, true},
        {"http://images.example?@other.example/x.jpg", "images.example", 80, false},
        {"http://0x7f.1:8080/x", "127.0.0.1", 8080, false},
        {"http://:secret@images.example/", "images.example", 80, true},
        {"//images.example/x.jpg", nullptr, 0, false},
        {"images.example/x.jpg", nullptr, 0, false},
        {"http://images.example:99999/x.jpg", nullptr, 0, false},
        {"", nullptr, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        std::string failure;
        const std::optional<WebAddress> parsed = ParseWebAddress(c.address, &failure);
        if (c.host == nullptr) {
            EXPECT_FALSE(parsed.has_value());
            EXPECT_NE(failure, "");
            continue;
        }
        ASSERT_TRUE(parsed.has_value()) << failure;
        EXPECT_EQ(parsed->host, c.host);
        EXPECT_EQ(parsed->port, c.port);
        EXPECT_EQ(parsed->user_info, c.user_info);
    }
}

TEST(WebAddressTest, OnOriginOnlyWithItsSchemeHostAndPortAndNoUser) {
    const std::optional<WebAddress> origin = ParseWebAddress("https://images.example");
    ASSERT_TRUE(origin.has_value());
    struct Case {
        const char* address;
        const char* fetched;  // nullptr: refused
        const char* why;
    };
    const Case cases[] = {
        {"https://images.example/a.jpg", "https://images.example/a.jpg", ""},
        {"HTTPS://IMAGES.example:443/a.jpg", "https://IMAGES.example:443/a.jpg", ""},
        {"http://images.example/a.jpg", nullptr, "scheme"},
        {"ftp://images.example/a.jpg", nullptr, "scheme"},
        {"https://images.example:444/a.jpg", nullptr, "another host"},
        {"https://images.example.other/a.jpg", nullptr, "another host"},
        {"https://images.example#@other.example/a.jpg", nullptr, "user name"},
        {"https://user@images.example/a.jpg", nullptr, "user name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        std::string failure;
        const std::optional<std::string> fetched = AddressOnOrigin(c.address, *origin, &failure);
        if (c.fetched == nullptr) {
            EXPECT_EQ(fetched, std::nullopt);
            EXPECT_NE(failure.find(c.why), std::string::npos) << failure;
        } else {
            EXPECT_EQ(fetched, c.fetched);
        }
    }
}

}  // namespace
}  // namespace korvid
