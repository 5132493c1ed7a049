#include "client/nfo_document.h"

#include <utf8proc.h>

#include <algorithm>
#include <charconv>
#include <optional>

#include "client/film_address.h"

namespace korvid {
namespace {

// Whether XML 1.0 allows the character in a document at all.
bool XmlAllows(utf8proc_int32_t c) {
    if (c < 0x20) {
        return c == '\t' || c == '\n' || c == '\r';
    }
    return c != 0xFFFE && c != 0xFFFF;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The year as media centres take it: the four digits a year text starts with ("2003",
// "2003/I"); nothing for any other text.
std::optional<std::string_view> YearOf(std::string_view year) {
    if (year.size() < 4 || !std::all_of(year.begin(), year.begin() + 4, IsDigit) ||
        (year.size() > 4 && IsDigit(year[4]))) {
        return std::nullopt;
    }
    return year.substr(0, 4);
}

// The minutes of a running time ("117 min", "USA:117 min"): its first number.
std::optional<std::string_view> MinutesOf(std::string_view running_time) {
    const auto digit = std::find_if(running_time.begin(), running_time.end(), IsDigit);
    if (digit == running_time.end()) {
        return std::nullopt;
    }
    const auto end = std::find_if_not(digit, running_time.end(), IsDigit);
    return running_time.substr(static_cast<std::size_t>(digit - running_time.begin()),
                               static_cast<std::size_t>(end - digit));
}

// The rating of a "8.5/10" text: "8.5", when it is a number of digits with one point at most.
std::optional<std::string_view> RatingOf(std::string_view rated) {
    const std::size_t slash = rated.find("/10");
    if (slash == std::string_view::npos || slash == 0) {
        return std::nullopt;
    }
    const std::string_view value = Trimmed(rated.substr(0, slash));
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size() || value.empty() ||
        !IsDigit(value.front()) || !IsDigit(value.back()) || number > 10) {
        return std::nullopt;
    }
    return value;
}

// A comment's text cannot hold "--" nor end with "-".
std::string CommentText(std::string_view text) {
    std::string out = XmlEscaped(text);
    for (std::size_t at = out.find("--"); at != std::string::npos; at = out.find("--", at)) {
        out.insert(at + 1, " ");
    }
    if (!out.empty() && out.back() == '-') {
        out += ' ';
    }
    return out;
}

class Writer {
  public:
    void Line(std::string_view text) {
        out_ += text;
        out_ += '\n';
    }
    // <name>text</name> at the indent, when the text is not empty.
    void Element(int indent, std::string_view name, std::string_view text,
                 std::string_view attributes = {}) {
        if (text.empty()) {
            return;
        }
        out_.append(static_cast<std::size_t>(indent), ' ');
        out_ += '<';
        out_ += name;
        out_ += attributes;
        out_ += '>';
        out_ += XmlEscaped(text);
        out_ += "</";
        out_ += name;
        out_ += ">\n";
    }
    std::string Take() { return std::move(out_); }

  private:
    std::string out_;
};

}  // namespace

std::string XmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    auto left = static_cast<utf8proc_ssize_t>(text.size());
    while (left > 0) {
        utf8proc_int32_t c = 0;
        const utf8proc_ssize_t length = utf8proc_iterate(bytes, left, &c);
        if (length <= 0) {
            out += "\uFFFD";  // a byte that is not part of valid UTF-8
            ++bytes;
            --left;
            continue;
        }
        if (XmlAllows(c)) {
            switch (c) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '"':
                    out += "&quot;";
                    break;
                case '\'':
                    out += "&apos;";
                    break;
                case '\r':
                    out += "&#13;";
                    break;
                default:
                    out.append(reinterpret_cast<const char*>(bytes),
                               static_cast<std::size_t>(length));
            }
        }
        bytes += length;
        left -= length;
    }
    return out;
}

std::string NfoDocument(const FilmTexts& film, LookupSource source, std::string_view version) {
    Writer nfo;
    nfo.Line(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)");
    std::string written_by(NfoWrittenBy);
    if (!version.empty()) {
        written_by += " " + CommentText(version);
    }
    nfo.Line(written_by + " -->");
    // The data's terms ask for the credit wherever its facts are shown.
    if (const std::string_view credit = FactsOf(source).credit; !credit.empty()) {
        nfo.Line("<!-- " + CommentText(credit) + " -->");
    }
    nfo.Line("<movie>");
    const std::string_view title = Trimmed(film.title);
    nfo.Element(2, "title", title);
    if (Trimmed(film.original_title) != title) {
        nfo.Element(2, "originaltitle", Trimmed(film.original_title));
    }
    nfo.Element(2, "year", YearOf(film.year).value_or(""));
    nfo.Element(2, "runtime", MinutesOf(film.running_time).value_or(""));
    for (const std::string& genre : film.genres) {
        nfo.Element(2, "genre", genre);
    }
    nfo.Element(2, "director", film.director);
    if (!film.cast_true_name.empty()) {
        nfo.Line("  <actor>");
        nfo.Element(4, "name", film.cast_true_name);
        nfo.Element(4, "role", film.cast_name);
        nfo.Element(4, "order", "0");
        nfo.Line("  </actor>");
    }
    if (const std::optional<std::string_view> rating = RatingOf(film.rated)) {
        nfo.Line("  <ratings>");
        nfo.Line(R"(    <rating name="imdb" max="10" default="true">)");
        nfo.Element(6, "value", *rating);
        if (film.votes && *film.votes > 0) {
            nfo.Element(6, "votes", std::to_string(*film.votes));
        }
        nfo.Line("    </rating>");
        nfo.Line("  </ratings>");
    }
    nfo.Element(2, "uniqueid", FilmIdOfAddress(film.address), R"( type="imdb" default="true")");
    nfo.Element(2, "tagline", film.tagline);
    nfo.Element(2, "plot", film.plot);
    // The cover's address on the image host, which media centres fetch; where the source
    // named none, the cover file Korvid saved.
    nfo.Element(2, "thumb", film.cover_address.empty() ? film.cover : film.cover_address,
                R"( aspect="poster")");
    nfo.Line("</movie>");
    return nfo.Take();
}

bool IsKorvidNfo(std::string_view head) {
    const std::size_t root = head.find("<movie");
    const std::size_t comment = head.find("<!--");
    return comment != std::string_view::npos && comment < root &&
           head.substr(comment).starts_with(NfoWrittenBy);
}

}  // namespace korvid
