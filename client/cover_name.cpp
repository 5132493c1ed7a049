#include "client/cover_name.h"

#include <algorithm>

#include "common/latin1.h"
#include "common/short_string.h"
#include "common/text.h"

namespace korvid {
namespace {

constexpr std::string_view CoverExtension = ".jpg";

// C0, DEL and the C1 controls of Latin-1.
bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || (byte >= 0x7F && byte < 0xA0);
}

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string CoverFileName(std::string_view given, std::size_t room) {
    std::string name(given);
    std::erase_if(name, IsControl);
    std::string title = TrimControls(name);
    if (title.ends_with(CoverExtension)) {
        title.resize(title.size() - CoverExtension.size());
    }
    if (room <= CoverExtension.size()) {
        return "";
    }
    // The name is written in UTF-8, as file managers read names; a cut never splits a letter.
    title = Latin1ToUtf8(title);
    std::size_t length = std::min(title.size(), room - CoverExtension.size());
    if (length < title.size()) {
        while (length > 0 && IsUtf8Continuation(title[length])) {
            --length;
        }
    }
    title.resize(length);
    if (title.empty()) {
        return "";
    }
    return title + std::string(CoverExtension);
}

bool IsPlainFileName(std::string_view name) {
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::string CoverPath(std::string_view app_dir, std::string_view given) {
    if (!IsPlainFileName(given)) {
        return "";
    }
    const std::size_t room = ShortString::MaxLength - std::min(app_dir.size(), ShortString::MaxLength);
    const std::string name = CoverFileName(given, room);
    if (name.empty()) {
        return "";
    }
    return std::string(app_dir) + name;
}

}  // namespace korvid
