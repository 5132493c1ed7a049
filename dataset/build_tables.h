#pragma once
// What a build keeps in memory between the files: a set of identifier keys, the ratings,
// and the kept titles with their director and lead. Compact on purpose: at full scale there
// are millions of each. Lookups are fastest when the files come sorted by identifier, and
// stay right when they do not. What they keep is bounded (build_limits.h).

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dataset/tsv_row.h"

namespace korvid::dataset {

// A set of identifier keys (IdKey), one bit a key, in chunks made as keys fall into them (a
// small build touches little memory).
class IdSet {
  public:
    IdSet() : chunks_((kIdKeyLimit >> kChunkBits) + 1) {}
    void Add(std::uint32_t key) {
        auto& chunk = chunks_[key >> kChunkBits];
        if (!chunk) {
            chunk = std::make_unique<std::uint64_t[]>(kChunkWords);
        }
        chunk[(key & kKeyMask) >> 6] |= std::uint64_t{1} << (key & 63);
    }
    bool Has(std::uint32_t key) const {
        const auto& chunk = chunks_[key >> kChunkBits];
        return chunk && ((chunk[(key & kKeyMask) >> 6] >> (key & 63)) & 1);
    }

  private:
    static constexpr unsigned kChunkBits = 20;  // keys a chunk: 128 KiB of bits
    static constexpr std::uint32_t kKeyMask = (std::uint32_t{1} << kChunkBits) - 1;
    static constexpr std::size_t kChunkWords = std::size_t{1} << (kChunkBits - 6);
    std::vector<std::unique_ptr<std::uint64_t[]>> chunks_;
};

// Short texts kept in large blocks; a text is found again by the position Add returned.
// Holds at most kMostTitleTextBytes (LimitReached past them).
class TextStore {
  public:
    using Position = std::uint32_t;
    static constexpr Position kNone = std::numeric_limits<Position>::max();
    // The longest text stored; longer ones are refused (Add gives kNone).
    static constexpr std::size_t kLongest = 0xFFFF;

    Position Add(std::string_view text);
    // Writes the text over the one at position when it fits there, else adds it.
    Position Replace(Position position, std::string_view text);
    std::string_view Get(Position position) const;

  private:
    static constexpr std::size_t kBlockBits = 24;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = std::size_t{1} << kBlockBits;  // of the last block
};

struct RatingEntry {
    std::uint32_t key = 0;
    char rating[4] = {};  // "8.5", without a NUL when it is 4 characters long
    std::int64_t votes = 0;

    std::string_view Rating() const { return {rating, strnlen(rating, sizeof rating)}; }
};

class RatingTable {
  public:
    // The first row of a key counts; later ones are dropped as they come.
    void Add(const RatingsRow& row);
    // Sorts the entries when they came out of order.
    void Finish();
    const RatingEntry* Find(std::uint32_t key) const;

  private:
    IdSet seen_;
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
    TextStore::Position type = TextStore::kNone;  // positions in the text store
    TextStore::Position primary_title = TextStore::kNone;
    TextStore::Position original_title = TextStore::kNone;
    TextStore::Position genres = TextStore::kNone;
    TextStore::Position lead_character = TextStore::kNone;
};

// The kept titles, in blocks (a deque) so that growing never copies them all.
using KeptTitles = std::deque<KeptTitle>;

class TitleTable {
  public:
    // Keeps the title with its fields cut and cleaned (CleanField); a title already kept is
    // left as it was. Raises LimitReached past kMostTitles titles.
    void Add(const BasicsRow& row);
    // Sorts the titles when they came out of order; call before Find.
    void Finish();
    // The kept title of that key, or nullptr.
    KeptTitle* Find(std::uint32_t key);
    bool Has(std::uint32_t key) const { return kept_.Has(key); }
    // The title's lead character, cut and cleaned; empty for none.
    void SetLeadCharacter(KeptTitle& title, std::string_view character);

    KeptTitles& Titles() { return titles_; }
    const TextStore& Texts() const { return texts_; }

  private:
    // A type or a genre list: the few values the files repeat are stored once.
    TextStore::Position AddCommon(std::string_view text);

    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };

    IdSet kept_;
    KeptTitles titles_;
    TextStore texts_;
    std::unordered_map<std::string, TextStore::Position, TextHash, std::equal_to<>> common_;
    std::string scratch_;
    bool sorted_ = true;
    std::size_t cursor_ = 0;
};

}  // namespace korvid::dataset
