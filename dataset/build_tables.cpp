#include "dataset/build_tables.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "dataset/build_limits.h"

namespace korvid::dataset {

TextStore::Position TextStore::Add(std::string_view text) {
    if (text.size() > kLongest) {
        return kNone;
    }
    constexpr std::size_t block_size = std::size_t{1} << kBlockBits;
    const std::size_t needed = text.size() + 2;
    if (block_size - used_ < needed) {
        if ((blocks_.size() + 1) * block_size > kMostTitleTextBytes) {
            throw LimitReached("more text than a build keeps (over " +
                               std::to_string(kMostTitleTextBytes >> 20) + " MiB)");
        }
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(block_size));
        used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    at[0] = static_cast<char>(text.size() & 0xFF);
    at[1] = static_cast<char>(text.size() >> 8);
    if (!text.empty()) {
        std::memcpy(at + 2, text.data(), text.size());
    }
    const auto position = static_cast<Position>(((blocks_.size() - 1) << kBlockBits) | used_);
    used_ += needed;
    return position;
}

TextStore::Position TextStore::Replace(Position position, std::string_view text) {
    if (position == kNone || Get(position).size() < text.size()) {
        return Add(text);
    }
    char* at = blocks_[position >> kBlockBits].get() + (position & ((1u << kBlockBits) - 1));
    at[0] = static_cast<char>(text.size() & 0xFF);
    at[1] = static_cast<char>(text.size() >> 8);
    if (!text.empty()) {
        std::memcpy(at + 2, text.data(), text.size());
    }
    return position;
}

std::string_view TextStore::Get(Position position) const {
    if (position == kNone) {
        return {};
    }
    const char* at =
        blocks_[position >> kBlockBits].get() + (position & ((1u << kBlockBits) - 1));
    const std::size_t size = static_cast<unsigned char>(at[0]) |
                             (static_cast<std::size_t>(static_cast<unsigned char>(at[1])) << 8);
    return {at + 2, size};
}

void RatingTable::Add(const RatingsRow& row) {
    if (seen_.Has(row.key)) {
        return;
    }
    seen_.Add(row.key);
    RatingEntry entry;
    entry.key = row.key;
    row.rating.substr(0, sizeof entry.rating).copy(entry.rating, sizeof entry.rating);
    entry.votes = row.votes;
    if (!entries_.empty() && entries_.back().key > row.key) {
        sorted_ = false;
    }
    entries_.push_back(entry);
}

void RatingTable::Finish() {
    if (!sorted_) {
        // Each key is there once, so the sort needs no stability (and no buffer).
        std::sort(entries_.begin(), entries_.end(),
                  [](const RatingEntry& a, const RatingEntry& b) { return a.key < b.key; });
        sorted_ = true;
    }
    entries_.shrink_to_fit();
}

const RatingEntry* RatingTable::Find(std::uint32_t key) const {
    const auto found = std::lower_bound(
        entries_.begin(), entries_.end(), key,
        [](const RatingEntry& entry, std::uint32_t value) { return entry.key < value; });
    return found != entries_.end() && found->key == key ? &*found : nullptr;
}

void TitleTable::Add(const BasicsRow& row) {
    if (kept_.Has(row.key)) {
        return;
    }
    if (titles_.size() >= kMostTitles) {
        throw LimitReached("more titles than a build keeps (over " + std::to_string(kMostTitles) +
                           ")");
    }
    KeptTitle title;
    title.key = row.key;
    title.year = row.year.value_or(-1);
    title.minutes = row.minutes.value_or(-1);
    title.type = AddCommon(CleanField(row.type, kLongestType, scratch_));
    title.genres = AddCommon(CleanList(row.genres, kLongestGenres, scratch_));
    title.primary_title = texts_.Add(CleanField(row.primary_title, kLongestTitle, scratch_));
    title.original_title = row.original_title == row.primary_title
                               ? title.primary_title
                               : texts_.Add(CleanField(row.original_title, kLongestTitle, scratch_));
    if (!titles_.empty() && titles_.back().key > row.key) {
        sorted_ = false;
    }
    kept_.Add(row.key);
    titles_.push_back(title);
}

TextStore::Position TitleTable::AddCommon(std::string_view text) {
    // Real files have about a dozen types and a few hundred genre lists.
    constexpr std::size_t kMostCommon = 4096;
    const auto found = common_.find(text);
    if (found != common_.end()) {
        return found->second;
    }
    const TextStore::Position position = texts_.Add(text);
    if (common_.size() < kMostCommon) {
        common_.emplace(std::string(text), position);
    }
    return position;
}

void TitleTable::SetLeadCharacter(KeptTitle& title, std::string_view character) {
    character = CleanField(character, kLongestCharacter, scratch_);
    if (character.empty()) {
        title.lead_character = TextStore::kNone;
    } else {
        // A lead replaced by one of a lower ordering reuses its place when it fits.
        title.lead_character = texts_.Replace(title.lead_character, character);
    }
}

void TitleTable::Finish() {
    if (!sorted_) {
        std::sort(titles_.begin(), titles_.end(),
                  [](const KeptTitle& a, const KeptTitle& b) { return a.key < b.key; });
        sorted_ = true;
    }
    titles_.shrink_to_fit();
    cursor_ = 0;
}

KeptTitle* TitleTable::Find(std::uint32_t key) {
    if (!kept_.Has(key) || titles_.empty()) {
        return nullptr;
    }
    // Rows come in key order: the title is the one last found, or one of the next few.
    auto from = titles_.begin();
    if (titles_[cursor_].key <= key) {
        from += static_cast<std::ptrdiff_t>(cursor_);
        for (int step = 0; step < 4 && from != titles_.end(); ++step, ++from) {
            if (from->key == key) {
                cursor_ = static_cast<std::size_t>(from - titles_.begin());
                return &*from;
            }
            if (from->key > key) {
                break;
            }
        }
    }
    const auto found = std::lower_bound(
        from, titles_.end(), key,
        [](const KeptTitle& title, std::uint32_t value) { return title.key < value; });
    if (found == titles_.end() || found->key != key) {
        return nullptr;
    }
    cursor_ = static_cast<std::size_t>(found - titles_.begin());
    return &*found;
}

}  // namespace korvid::dataset
