#include "common/text.h"

#include <algorithm>

namespace korvid {
namespace {

bool IsControlOrSpace(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

}  // namespace

std::string UpperAsciiCopy(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), UpperAscii);
    return upper;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

std::string TrimControls(std::string_view text) {
    const auto first = std::find_if_not(text.begin(), text.end(), IsControlOrSpace);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsControlOrSpace).base();
    return first < last ? std::string(first, last) : std::string();
}

}  // namespace korvid
