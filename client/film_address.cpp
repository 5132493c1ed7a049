#include "client/film_address.h"

#include <optional>

#include "common/text.h"

namespace korvid {
namespace {

constexpr std::string_view FilmPathStart = "/title/tt";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The digits of a film page's path at the start of the text, or nothing.
std::optional<std::string_view> FilmIdOfPath(std::string_view path) {
    if (path.substr(0, FilmPathStart.size()) != FilmPathStart) {
        return std::nullopt;
    }
    const std::string_view rest = path.substr(FilmPathStart.size());
    std::size_t digits = 0;
    while (digits < rest.size() && IsDigit(rest[digits])) {
        ++digits;
    }
    const bool ends =
        digits == rest.size() || rest[digits] == '/' || rest[digits] == '?' || rest[digits] == '#';
    if ((digits != 7 && digits != 8) || !ends) {
        return std::nullopt;
    }
    return rest.substr(0, digits);
}

// The path of an http or https address (from the first "/" after the host), or nothing for
// another scheme or no path.
std::optional<std::string_view> PathOfAddress(std::string_view address) {
    const std::string upper = UpperAsciiCopy(address.substr(0, 8));
    std::size_t host_start = 0;
    if (upper.starts_with("HTTP://")) {
        host_start = 7;
    } else if (upper.starts_with("HTTPS://")) {
        host_start = 8;
    } else {
        return std::nullopt;
    }
    const std::size_t slash = address.find('/', host_start);
    if (slash == std::string_view::npos || slash == host_start) {
        return std::nullopt;
    }
    return address.substr(slash);
}

// The film id of an href: a film page's path, or an http or https address of one.
std::optional<std::string_view> FilmIdOfLink(std::string_view href) {
    if (href.starts_with('/')) {
        return href.starts_with("//") ? std::nullopt : FilmIdOfPath(href);
    }
    const std::optional<std::string_view> path = PathOfAddress(href);
    return path ? FilmIdOfPath(*path) : std::nullopt;
}

// The value of an attribute (name upper-cased, with its "=") in a tag's text, the name
// found in any letter case; quoted with " or ', or bare up to a space.
std::string_view AttributeValue(std::string_view tag, std::string_view upper_name) {
    for (std::size_t at = FindIgnoringCase(tag, upper_name); at != std::string_view::npos;
         at = FindIgnoringCase(tag, upper_name, at + 1)) {
        // The name must stand on its own: "DATA-HREF=" is not "HREF=".
        const char before = at == 0 ? ' ' : tag[at - 1];
        if (before != ' ' && before != '\t' && before != '\n' && before != '\r') {
            continue;
        }
        std::string_view value = tag.substr(at + upper_name.size());
        if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
            const char quote = value.front();
            value.remove_prefix(1);
            return value.substr(0, value.find(quote));
        }
        return value.substr(0, value.find_first_of(" \t\r\n"));
    }
    return {};
}

// The film id named by the first tag that opens with `opening` and whose attribute
// `marker` (e.g. REL="CANONICAL") it carries, or nothing. Both are upper-cased and found in
// any letter case, in the page as it stands: a page of many megabytes is not copied.
std::optional<std::string_view> FilmIdOfTag(std::string_view page, std::string_view opening,
                                            std::string_view marker) {
    for (std::size_t at = FindIgnoringCase(page, opening); at != std::string_view::npos;
         at = FindIgnoringCase(page, opening, at + 1)) {
        const std::size_t end = page.find('>', at);
        const std::size_t length =
            end == std::string_view::npos ? std::string_view::npos : end - at;
        const std::string_view tag = page.substr(at, length);
        if (FindIgnoringCase(tag, marker) == std::string_view::npos) {
            continue;
        }
        const std::optional<std::string_view> id = FilmIdOfLink(AttributeValue(tag, "HREF="));
        if (id) {
            return id;
        }
    }
    return std::nullopt;
}

}  // namespace

bool IsFilmAddress(std::string_view address) {
    return !FilmIdOfAddress(address).empty();
}

std::string FilmAddress(std::string_view host, std::string_view tconst) {
    return "http://" + std::string(host) + "/title/" + std::string(tconst) + "/";
}

std::string FilmIdOfAddress(std::string_view address) {
    const std::optional<std::string_view> path = PathOfAddress(address);
    const std::optional<std::string_view> digits = path ? FilmIdOfPath(*path) : std::nullopt;
    return digits ? "tt" + std::string(*digits) : std::string();
}

std::string FilmAddressFromPage(const LineList& page, std::string_view host) {
    const std::string_view text = page.Buffer();
    std::optional<std::string_view> id = FilmIdOfTag(text, "<LINK", "REL=\"CANONICAL\"");
    if (!id) {
        id = FilmIdOfTag(text, "<A ", "NAME=\"POSTER\"");
    }
    if (!id) {
        return {};
    }
    return FilmAddress(host, "tt" + std::string(*id));
}

}  // namespace korvid
