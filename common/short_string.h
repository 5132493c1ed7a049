#pragma once
// A text of at most 255 bytes. Every store cuts the text to its first 255 bytes,
// so a field, a marker or a file name never grows past that, whatever the page held.

#include <compare>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace korvid {

class ShortString {
  public:
    static constexpr std::size_t MaxLength = 255;

    ShortString() = default;
    ShortString(std::string_view text) : text_(text.substr(0, MaxLength)) {}
    ShortString(const std::string& text) : ShortString(std::string_view(text)) {}
    ShortString(const char* text) : ShortString(std::string_view(text)) {}

    const std::string& str() const { return text_; }
    operator const std::string&() const { return text_; }
    operator std::string_view() const { return text_; }

    bool empty() const { return text_.empty(); }
    std::size_t size() const { return text_.size(); }
    char operator[](std::size_t i) const { return text_[i]; }

    bool operator==(const ShortString&) const = default;
    bool operator==(std::string_view other) const { return text_ == other; }
    bool operator==(const char* other) const { return text_ == other; }
    bool operator==(const std::string& other) const { return text_ == other; }

  private:
    std::string text_;
};

// Concatenation gives a plain std::string; storing it into a ShortString cuts it.
inline std::string operator+(const ShortString& a, std::string_view b) {
    return a.str() + std::string(b);
}
inline std::string operator+(std::string_view a, const ShortString& b) {
    return std::string(a) + b.str();
}
inline std::string operator+(const ShortString& a, const ShortString& b) {
    return a.str() + b.str();
}
inline std::string operator+(const ShortString& a, const char* b) {
    return a.str() + b;
}
inline std::string operator+(const ShortString& a, const std::string& b) {
    return a.str() + b;
}
inline std::string operator+(const std::string& a, const ShortString& b) {
    return a + b.str();
}
inline std::string operator+(const char* a, const ShortString& b) {
    return a + b.str();
}

inline std::ostream& operator<<(std::ostream& out, const ShortString& s) {
    return out << s.str();
}

}  // namespace korvid
