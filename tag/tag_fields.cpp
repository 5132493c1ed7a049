#include "tag/tag_fields.h"

namespace korvid {

void PlainGenreBox::SetItemIndex(int index) {
    if (index < 0 || index >= static_cast<int>(GenreNames.size())) {
        index = -1;
    }
    if (index == index_) {
        return;
    }
    index_ = index;
    text_ = index < 0 ? std::string() : std::string(GenreNames[static_cast<std::size_t>(index)]);
}

}  // namespace korvid
