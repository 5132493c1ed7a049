#include "dataset/build_limits.h"

#include <array>
#include <utility>

namespace korvid::dataset {

namespace {

std::string Thousands(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), ",");
    }
    return digits;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// A C1 control character in UTF-8: U+0080 to U+009F.
bool IsC1(std::string_view text, std::size_t at) {
    return static_cast<unsigned char>(text[at]) == 0xC2 && at + 1 < text.size() &&
           static_cast<unsigned char>(text[at + 1]) >= 0x80 &&
           static_cast<unsigned char>(text[at + 1]) <= 0x9F;
}

// The length of the text cut to at most longest bytes, not inside a UTF-8 character.
std::size_t CutLength(std::string_view text, std::size_t longest) {
    if (text.size() <= longest) {
        return text.size();
    }
    std::size_t length = longest;
    // Back over continuation bytes (10xxxxxx) to the start of the character that is cut.
    for (int step = 0; step < 3 && length > 0 &&
                       (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80;
         ++step) {
        --length;
    }
    return length;
}

}  // namespace

std::uint64_t MostRows(std::string_view file_name) {
    static constexpr std::array<std::pair<std::string_view, std::uint64_t>, 6> kMost = {{
        {"title.basics.tsv.gz", 48'000'000},        // about 12 million today
        {"title.ratings.tsv.gz", 6'400'000},        // about 1.6 million
        {"title.crew.tsv.gz", 48'000'000},          // about 12 million
        {"title.principals.tsv.gz", 400'000'000},   // about 95 million
        {"name.basics.tsv.gz", 60'000'000},         // about 15 million
        {"title.akas.tsv.gz", 240'000'000},         // about 55 million
    }};
    for (const auto& [name, most] : kMost) {
        if (name == file_name) {
            return most;
        }
    }
    return 400'000'000;
}

void RowCount::TooManyRows() const {
    throw LimitReached("more rows than a data-set file holds (over " + Thousands(most_rows_) +
                       ")");
}

void RowCount::TooManyMalformed() const {
    throw LimitReached("too many malformed rows (" + Thousands(malformed_) + " of the first " +
                       Thousands(rows_) + ")");
}

void NameTexts::TooMuch() {
    throw LimitReached("more name text than a build keeps (over " +
                       std::to_string(kMostNameBytes >> 20) + " MiB)");
}

std::string_view CleanField(std::string_view text, std::size_t longest, std::string& scratch) {
    text = text.substr(0, CutLength(text, longest));
    bool clean = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsControl(c) || (c == 0xC2 && IsC1(text, i))) {
            clean = false;
            break;
        }
    }
    if (clean) {
        return text;
    }
    scratch.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsControl(c)) {
            scratch += ' ';
        } else if (c == 0xC2 && IsC1(text, i)) {
            scratch += ' ';
            ++i;
        } else {
            scratch += text[i];
        }
    }
    return scratch;
}

std::string_view CleanList(std::string_view text, std::size_t longest, std::string& scratch) {
    if (text.size() > longest) {
        const std::size_t comma = text.substr(0, longest + 1).rfind(',');
        text = text.substr(0, comma == std::string_view::npos ? 0 : comma);
    }
    return CleanField(text, longest, scratch);
}

}  // namespace korvid::dataset
