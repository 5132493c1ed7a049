#include "cli/film_file_name.h"

#include <array>
#include <utility>

#include "cli/cli_common.h"

namespace korvid::cli {
namespace {

constexpr std::array<std::string_view, 3> FieldNames = {"title", "year", "id"};

bool IsField(std::string_view name) {
    for (const std::string_view field : FieldNames) {
        if (field == name) {
            return true;
        }
    }
    return false;
}

std::string_view ValueOf(std::string_view name, const NameFields& fields) {
    if (name == "title") {
        return fields.title;
    }
    return name == "year" ? std::string_view(fields.year) : std::string_view(fields.id);
}

// The format with its fields filled in; an empty field drops the brackets around it and the
// space before them.
std::string Expand(std::string_view format, const NameFields& fields) {
    std::string out;
    for (std::size_t i = 0; i < format.size();) {
        const std::size_t close = format.find('}', i);
        if (format[i] != '{' || close == std::string_view::npos) {
            out += format[i++];
            continue;
        }
        const std::string_view value = ValueOf(format.substr(i + 1, close - i - 1), fields);
        i = close + 1;
        if (value.empty() && !out.empty() && i < format.size() &&
            ((out.back() == '(' && format[i] == ')') || (out.back() == '[' && format[i] == ']'))) {
            out.pop_back();
            ++i;
            while (!out.empty() && out.back() == ' ') {
                out.pop_back();
            }
            continue;
        }
        out += value;
    }
    return out;
}

// What a character of a name becomes: itself, another text, or nothing.
std::string_view Replacement(char c, bool portable, bool& keep) {
    keep = false;
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/') {
        return "-";
    }
    if (byte < 0x20 || byte == 0x7F) {
        return "";
    }
    if (portable) {
        switch (c) {
            case ':':
                return " -";
            case '\\':
            case '|':
                return "-";
            case '"':
                return "'";
            case '<':
            case '>':
            case '?':
            case '*':
                return "";
            default:
                break;
        }
    }
    keep = true;
    return {};
}

// Without leading and trailing spaces and dots.
std::string Trimmed(std::string name) {
    const std::size_t last = name.find_last_not_of(" .");
    name.erase(last == std::string::npos ? 0 : last + 1);
    name.erase(0, name.find_first_not_of(" ."));
    return name;
}

}  // namespace

void CheckNameFormat(std::string_view format) {
    if (format.find('/') != std::string_view::npos || format.find('\0') != std::string_view::npos) {
        throw UsageError("--name-format makes a file name: it cannot hold \"/\"");
    }
    bool any_field = false;
    for (std::size_t open = format.find('{'); open != std::string_view::npos;
         open = format.find('{', open + 1)) {
        const std::size_t close = format.find('}', open);
        const std::string_view name = close == std::string_view::npos
                                          ? format.substr(open)
                                          : format.substr(open + 1, close - open - 1);
        if (close == std::string_view::npos || !IsField(name)) {
            throw UsageError("--name-format knows the fields {title}, {year} and {id}, not \"" +
                             std::string(close == std::string_view::npos
                                             ? name
                                             : format.substr(open, close - open + 1)) +
                             "\"");
        }
        any_field = true;
    }
    if (!any_field) {
        throw UsageError("--name-format names no field ({title}, {year}, {id})");
    }
}

std::string FilmBaseName(std::string_view format, const NameFields& fields, bool portable) {
    std::string name;
    for (const char c : Expand(format, fields)) {
        bool keep = false;
        const std::string_view replacement = Replacement(c, portable, keep);
        const std::string_view piece = keep ? std::string_view(&c, 1) : replacement;
        for (const char p : piece) {
            if (p != ' ' || (!name.empty() && name.back() != ' ')) {
                name += p;
            }
        }
    }
    return Trimmed(std::move(name));
}

std::string FitBaseName(std::string base, std::size_t longest_suffix) {
    const std::size_t room = longest_suffix < MaxNameBytes ? MaxNameBytes - longest_suffix : 0;
    if (base.size() <= room) {
        return base;
    }
    std::size_t cut = room;
    // A byte 10xxxxxx continues the character before it.
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    base.erase(cut);
    return Trimmed(std::move(base));
}

}  // namespace korvid::cli
