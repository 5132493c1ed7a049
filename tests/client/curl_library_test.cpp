// Loading libcurl at run time: a library that is missing or lacks a function is reported, not
// a crash. (Downloads through the loaded libcurl, without HttpGlobalInit, are fetch_test's.)

#include "client/curl_library.h"

#include <gtest/gtest.h>

#include <string>

namespace korvid {
namespace {

TEST(CurlLibraryTest, ALibraryThatCannotServeIsReportedWithTheReason) {
    struct Case {
        const char* file_name;
        std::string expected_error_start;
    };
    const Case cases[] = {
        {"libkorvid-no-such-library.so.4", "Cannot load libkorvid-no-such-library.so.4: "},
        // Loads, but exports none of libcurl's functions.
        {"libc.so.6", "Cannot find curl_global_init in libc.so.6: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file_name);
        std::string error;
        EXPECT_FALSE(OpenCurlLibrary(c.file_name, &error).has_value());
        EXPECT_EQ(error.substr(0, c.expected_error_start.size()), c.expected_error_start);
        EXPECT_GT(error.size(), c.expected_error_start.size());  // dlerror()'s text follows
    }
}

TEST(CurlLibraryTest, TheProcessLibraryIsLoadedOnceWithEveryFunction) {
    const CurlFunctions* curl = LoadedCurl();
    ASSERT_NE(curl, nullptr) << CurlLibraryError();
    EXPECT_TRUE(CurlLibraryError().empty());
    EXPECT_EQ(LoadedCurl(), curl);
    EXPECT_STREQ(curl->EasyStrerror(CURLE_OK), "No error");
}

}  // namespace
}  // namespace korvid
