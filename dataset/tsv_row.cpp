#include "dataset/tsv_row.h"

#include <array>
#include <charconv>
#include <cstring>

namespace korvid::dataset {

namespace {

// Splits the line on tabs into exactly N fields; false for any other number.
template <std::size_t N>
bool SplitFields(std::string_view line, std::array<std::string_view, N>& fields) {
    const char* at = line.data();
    const char* const end = line.data() + line.size();
    for (std::size_t i = 0; i + 1 < N; ++i) {
        const auto* tab = static_cast<const char*>(std::memchr(at, '\t', end - at));
        if (tab == nullptr) {
            return false;
        }
        fields[i] = std::string_view(at, tab - at);
        at = tab + 1;
    }
    if (std::memchr(at, '\t', end - at) != nullptr) {
        return false;
    }
    fields[N - 1] = std::string_view(at, end - at);
    return true;
}

// Splits the row into exactly N fields, the first an identifier with the prefix; false for
// any other row.
template <std::size_t N>
bool SplitWithId(std::string_view line, std::array<std::string_view, N>& fields,
                 std::string_view prefix, std::string_view& id, std::uint32_t& key) {
    if (!SplitFields(line, fields)) {
        return false;
    }
    const auto parsed = IdKey(fields[0], prefix);
    if (!parsed) {
        return false;
    }
    id = fields[0];
    key = *parsed;
    return true;
}

bool AllDigits(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return !text.empty();
}

// A non-negative whole number of at most nine digits.
std::optional<int> SmallNumber(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        const auto digit = static_cast<unsigned>(c - '0');
        if (digit > 9) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<int>(digit);
    }
    return value;
}

// A missing number, or one in its plain form; false for anything else.
bool OptionalNumber(std::string_view text, std::optional<int>& value) {
    if (IsMissing(text)) {
        value.reset();
        return true;
    }
    value = SmallNumber(text);
    return value.has_value();
}

// An average rating as written, at most 4 characters: digits with at most one decimal
// point, "8.5", "10.0".
bool IsRating(std::string_view text) {
    if (text.empty() || text.size() > 4 || text.front() < '0' || text.front() > '9') {
        return false;
    }
    bool point = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return text.back() != '.';
}

// A rating in its form (IsRating) from 1 to 10.
bool RatingInRange(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const int value = SmallNumber(whole).value_or(0);
    return (value >= 1 && value <= 9) ||
           (value == 10 && fraction.find_first_not_of('0') == std::string_view::npos);
}

// Drops a number outside [lowest, highest]; true when it did.
bool DropOutOfRange(std::optional<int>& value, int lowest, int highest) {
    if (value && (*value < lowest || *value > highest)) {
        value.reset();
        return true;
    }
    return false;
}

void AppendUtf8(std::string& out, std::uint32_t code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        out += static_cast<char>(0xE0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code_point >> 18));
        out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

// Reads a JSON array of strings, one character at a time.
class JsonStrings {
  public:
    explicit JsonStrings(std::string_view text) : text_(text) {}

    void SkipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }
    bool Take(char c) {
        SkipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool AtEnd() {
        SkipSpace();
        return at_ == text_.size();
    }

    // A string's text, decoded; false when it is not a well-formed string. out may be null.
    bool String(std::string* out) {
        if (!Take('"')) {
            return false;
        }
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return false;
            }
            if (c != '\\') {
                if (out != nullptr) {
                    *out += c;
                }
                continue;
            }
            if (at_ >= text_.size()) {
                return false;
            }
            const char escape = text_[at_++];
            std::uint32_t code_point = 0;
            switch (escape) {
                case '"':
                case '\\':
                case '/':
                    code_point = static_cast<unsigned char>(escape);
                    break;
                case 'b':
                    code_point = '\b';
                    break;
                case 'f':
                    code_point = '\f';
                    break;
                case 'n':
                    code_point = '\n';
                    break;
                case 'r':
                    code_point = '\r';
                    break;
                case 't':
                    code_point = '\t';
                    break;
                case 'u':
                    if (!CodePoint(code_point)) {
                        return false;
                    }
                    break;
                default:
                    return false;
            }
            if (out != nullptr) {
                AppendUtf8(*out, code_point);
            }
        }
        return false;
    }

  private:
    bool Hex4(std::uint32_t& value) {
        if (text_.size() - at_ < 4) {
            return false;
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= c - '0';
            } else if (c >= 'a' && c <= 'f') {
                value |= c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                value |= c - 'A' + 10;
            } else {
                return false;
            }
        }
        return true;
    }

    // The code point of a \u escape (its "u" already read), a surrogate pair joined. A NUL
    // or a lone surrogate is refused.
    bool CodePoint(std::uint32_t& code_point) {
        if (!Hex4(code_point) || code_point == 0) {
            return false;
        }
        if (code_point >= 0xDC00 && code_point <= 0xDFFF) {
            return false;
        }
        if (code_point >= 0xD800 && code_point <= 0xDBFF) {
            std::uint32_t low = 0;
            if (text_.substr(at_, 2) != "\\u") {
                return false;
            }
            at_ += 2;
            if (!Hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            code_point = 0x10000 + ((code_point - 0xD800) << 10) + (low - 0xDC00);
        }
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<std::uint32_t> IdKey(std::string_view id, std::string_view prefix) {
    const std::size_t digits = id.size() - prefix.size();
    if ((id.size() != prefix.size() + 7 && id.size() != prefix.size() + 8) ||
        id.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = prefix.size(); i < id.size(); ++i) {
        const auto digit = static_cast<unsigned>(id[i] - '0');
        if (digit > 9) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return digits == 7 ? value : kEightDigitBase + value;
}

std::string IdText(std::string_view prefix, std::uint32_t key) {
    const bool eight = key >= kEightDigitBase;
    std::uint32_t value = eight ? key - kEightDigitBase : key;
    std::string text(prefix);
    char digits[8];
    const int count = eight ? 8 : 7;
    for (int i = count - 1; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    text.append(digits, count);
    return text;
}

std::string_view TrimLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

std::optional<BasicsRow> ParseBasicsRow(std::string_view line) {
    std::array<std::string_view, 9> f;
    BasicsRow row;
    if (!SplitWithId(line, f, "tt", row.tconst, row.key) || IsMissing(f[2]) || f[2].empty()) {
        return std::nullopt;
    }
    row.type = IsMissing(f[1]) ? std::string_view() : f[1];
    row.primary_title = f[2];
    row.original_title = IsMissing(f[3]) || f[3].empty() ? f[2] : f[3];
    if (!OptionalNumber(f[5], row.year) || !OptionalNumber(f[7], row.minutes)) {
        return std::nullopt;
    }
    const bool bad_year = DropOutOfRange(row.year, kFirstYear, kLastYear);
    const bool bad_minutes = DropOutOfRange(row.minutes, 0, kMinutesLimit - 1);
    row.out_of_range = bad_year || bad_minutes;
    row.genres = IsMissing(f[8]) ? std::string_view() : f[8];
    return row;
}

std::optional<RatingsRow> ParseRatingsRow(std::string_view line) {
    std::array<std::string_view, 3> f;
    RatingsRow row;
    if (!SplitWithId(line, f, "tt", row.tconst, row.key)) {
        return std::nullopt;
    }
    if (!IsMissing(f[1])) {
        if (!IsRating(f[1])) {
            return std::nullopt;
        }
        if (RatingInRange(f[1])) {
            row.rating = f[1];
        } else {
            row.out_of_range = true;
        }
    }
    if (!IsMissing(f[2])) {
        if (!AllDigits(f[2]) || f[2].size() > 18) {
            return std::nullopt;
        }
        std::from_chars(f[2].data(), f[2].data() + f[2].size(), row.votes);
    }
    return row;
}

std::optional<CrewRow> ParseCrewRow(std::string_view line) {
    std::array<std::string_view, 3> f;
    CrewRow row;
    if (!SplitWithId(line, f, "tt", row.tconst, row.key)) {
        return std::nullopt;
    }
    if (!IsMissing(f[1])) {
        const std::string_view first = f[1].substr(0, f[1].find(','));
        const auto director = IdKey(first, "nm");
        if (!director) {
            return std::nullopt;
        }
        row.first_director = first;
        row.director_key = *director;
    }
    return row;
}

std::optional<PrincipalsRow> ParsePrincipalsRow(std::string_view line) {
    std::array<std::string_view, 6> f;
    PrincipalsRow row;
    if (!SplitWithId(line, f, "tt", row.tconst, row.key)) {
        return std::nullopt;
    }
    row.nconst = f[2];
    const auto name_key = IdKey(f[2], "nm");
    const auto ordering = SmallNumber(f[1]);
    if (!name_key || !ordering) {
        return std::nullopt;
    }
    row.name_key = *name_key;
    row.ordering = *ordering;
    row.category = IsMissing(f[3]) ? std::string_view() : f[3];
    row.characters = IsMissing(f[5]) ? std::string_view() : f[5];
    return row;
}

bool IsLeadCategory(std::string_view category) {
    return category == "actor" || category == "actress" || category == "self";
}

std::optional<std::string> FirstCharacter(std::string_view characters) {
    std::string first;
    if (characters.empty()) {
        return first;
    }
    JsonStrings json(characters);
    if (!json.Take('[')) {
        return std::nullopt;
    }
    if (!json.Take(']')) {
        if (!json.String(&first)) {
            return std::nullopt;
        }
        while (json.Take(',')) {
            if (!json.String(nullptr)) {
                return std::nullopt;
            }
        }
        if (!json.Take(']')) {
            return std::nullopt;
        }
    }
    if (!json.AtEnd()) {
        return std::nullopt;
    }
    return first;
}

std::optional<NamesRow> ParseNamesRow(std::string_view line) {
    std::array<std::string_view, 6> f;
    NamesRow row;
    if (!SplitWithId(line, f, "nm", row.nconst, row.key)) {
        return std::nullopt;
    }
    row.name = IsMissing(f[1]) ? std::string_view() : f[1];
    return row;
}

std::optional<AkasRow> ParseAkasRow(std::string_view line) {
    std::array<std::string_view, 8> f;
    AkasRow row;
    if (!SplitWithId(line, f, "tt", row.tconst, row.key)) {
        return std::nullopt;
    }
    // The ordering is a number; isOriginalTitle 0, 1 or missing.
    if (!SmallNumber(f[1]) || f[2].empty() || IsMissing(f[2]) ||
        !(f[7] == "0" || f[7] == "1" || IsMissing(f[7]))) {
        return std::nullopt;
    }
    row.title = f[2];
    row.region = IsMissing(f[3]) ? std::string_view() : f[3];
    row.language = IsMissing(f[4]) ? std::string_view() : f[4];
    return row;
}

}  // namespace korvid::dataset
