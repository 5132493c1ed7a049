#pragma once
// What a build keeps in memory between the files: a set of identifier keys, the ratings,
// and the kept titles with their director and lead. Compact on purpose: at full scale there
// are millions of each. Lookups are fastest when the files come sorted by identifier, and
// stay right when they do not.

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "dataset/tsv_row.h"

namespace korvid::dataset {

// A set of identifier keys (IdKey), one bit a key.
class IdSet {
  public:
    IdSet() : bits_((kIdKeyLimit + 63) / 64) {}
    void Add(std::uint32_t key) { bits_[key >> 6] |= std::uint64_t{1} << (key & 63); }
    bool Has(std::uint32_t key) const { return (bits_[key >> 6] >> (key & 63)) & 1; }

  private:
    std::vector<std::uint64_t> bits_;
};

// Short texts kept in large blocks; a text is found again by the position Add returned.
class TextStore {
  public:
    static constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();
    // The longest text stored; longer ones are refused (Add gives kNone).
    static constexpr std::size_t kLongest = 0xFFFF;

    std::uint64_t Add(std::string_view text);
    std::string_view Get(std::uint64_t position) const;

  private:
    static constexpr std::size_t kBlockBits = 24;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = std::size_t{1} << kBlockBits;  // of the last block
};

struct RatingEntry {
    std::uint32_t key = 0;
    char rating[8] = {};
    std::int64_t votes = 0;
};

class RatingTable {
  public:
    void Add(const RatingsRow& row);
    // Sorts the entries when they came out of order.
    void Finish();
    const RatingEntry* Find(std::uint32_t key) const;

  private:
    std::vector<RatingEntry> entries_;
    bool sorted_ = true;
};

inline constexpr std::uint32_t kNoName = std::numeric_limits<std::uint32_t>::max();

struct KeptTitle {
    std::uint32_t key = 0;
    std::uint32_t director = kNoName;  // name keys
    std::uint32_t lead = kNoName;
    std::int32_t lead_ordering = std::numeric_limits<std::int32_t>::max();
    std::int32_t year = -1;  // -1: none
    std::int32_t minutes = -1;
    std::uint64_t type = TextStore::kNone;  // positions in the text store
    std::uint64_t primary_title = TextStore::kNone;
    std::uint64_t original_title = TextStore::kNone;
    std::uint64_t genres = TextStore::kNone;
    std::uint64_t lead_character = TextStore::kNone;
};

class TitleTable {
  public:
    // False when a field is too long to keep (a malformed row); a title already kept is
    // left as it was.
    bool Add(const BasicsRow& row);
    // Sorts the titles when they came out of order; call before Find.
    void Finish();
    // The kept title of that key, or nullptr.
    KeptTitle* Find(std::uint32_t key);
    bool Has(std::uint32_t key) const { return kept_.Has(key); }

    std::vector<KeptTitle>& Titles() { return titles_; }
    const TextStore& Texts() const { return texts_; }
    TextStore& Texts() { return texts_; }

  private:
    IdSet kept_;
    std::vector<KeptTitle> titles_;
    TextStore texts_;
    bool sorted_ = true;
    std::size_t cursor_ = 0;
};

}  // namespace korvid::dataset
