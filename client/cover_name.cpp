#include "client/cover_name.h"

#include <algorithm>

#include "common/text.h"

namespace korvid {
namespace {

constexpr std::string_view CoverExtension = ".jpg";

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
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
    title.resize(std::min(title.size(), room - CoverExtension.size()));
    if (title.empty()) {
        return "";
    }
    return title + std::string(CoverExtension);
}

}  // namespace korvid
