#pragma once
// Small helpers shared by the tag tests: movie-like file contents, a hash of bytes and
// finding a real program.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace korvid::test_support {

// size bytes of pseudo-random "movie data"; its last 128 bytes never begin with "TAG".
inline std::string MovieData(std::size_t size, std::uint32_t seed = 1) {
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(random() & 0xff);
    }
    if (size >= 128) {
        data[size - 128] = 'M';
    }
    return data;
}

// 64-bit FNV-1a of the bytes.
inline std::uint64_t HashBytes(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// Equal bytes; on a difference it names the sizes and the first differing offset instead of
// printing kilobytes of binary data.
inline ::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    const auto [a, e] =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure()
           << "sizes " << actual.size() << " and " << expected.size() << ", first difference at "
           << (a - actual.begin()) << ", hashes " << HashBytes(actual) << " and "
           << HashBytes(expected);
}

// The full path of a program found on PATH, if any.
inline std::optional<std::string> FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string dir(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace korvid::test_support
