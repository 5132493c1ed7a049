#pragma once
// What a build keeps of the files, whatever they hold: fields cut to sane lengths and cleaned
// of control characters, and limits on the rows of each file, the titles and the text kept and
// the malformed rows, past which the build fails with its cause instead of growing. The limits
// are generous multiples of what the real files hold, chosen so that a build stays within
// 1 GiB of memory.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvid::dataset {

// The longest fields kept, in bytes of UTF-8; longer ones are cut at a character boundary.
inline constexpr std::size_t kLongestTitle = 400;  // the primary and the original title
inline constexpr std::size_t kLongestName = 300;
inline constexpr std::size_t kLongestCharacter = 300;
inline constexpr std::size_t kLongestType = 40;
inline constexpr std::size_t kLongestGenres = 200;  // whole genres only

// The kept titles (every type but episodes; about 3 million today) and the bytes of their
// texts (types, titles, genres, lead characters), and the bytes of the names written.
inline constexpr std::size_t kMostTitles = 7'000'000;
inline constexpr std::size_t kMostTitleTextBytes = std::size_t{192} << 20;
inline constexpr std::uint64_t kMostNameBytes = std::uint64_t{256} << 20;
// The alternative titles kept: the bytes of their texts (title and key; about 0.5 GiB would
// be five times what the real file gives), and the most kept for one title (a well-known
// film has dozens).
inline constexpr std::uint64_t kMostAlternativeBytes = std::uint64_t{2} << 30;
inline constexpr std::size_t kMostAlternativesPerTitle = 1000;

// A file fails once its malformed rows (blank lines and values out of range included) pass
// both this count and a tenth of its rows: real files have next to none.
inline constexpr std::uint64_t kMostMalformedRows = 100'000;
inline constexpr std::uint64_t kMalformedShare = 10;

// Raised when the files hold more than a build keeps; the build names the file it was reading.
class LimitReached : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The rows a file may hold: about four times what the real file of that name holds.
std::uint64_t MostRows(std::string_view file_name);

// Counts the rows of one file and raises LimitReached past its limits.
class RowCount {
  public:
    explicit RowCount(std::string_view file_name) : most_rows_(MostRows(file_name)) {}

    void Row() {
        if (++rows_ > most_rows_) {
            TooManyRows();
        }
    }
    void Malformed(std::uint64_t count) {
        malformed_ += count;
        if (malformed_ > kMostMalformedRows && malformed_ > rows_ / kMalformedShare) {
            TooManyMalformed();
        }
    }
    std::uint64_t Rows() const { return rows_; }

  private:
    [[noreturn]] void TooManyRows() const;
    [[noreturn]] void TooManyMalformed() const;

    std::uint64_t most_rows_;
    std::uint64_t rows_ = 0;
    std::uint64_t malformed_ = 0;
};

// The field as it is kept: cut to at most longest bytes at a UTF-8 character boundary, and
// each control character (C0, DEL and C1, as JSON escapes give them too) a space. The text
// itself when it needs neither, else the cleaned copy in scratch.
std::string_view CleanField(std::string_view text, std::size_t longest, std::string& scratch);

// A comma-joined list cut to the whole entries that fit in longest bytes, then cleaned.
std::string_view CleanList(std::string_view text, std::size_t longest, std::string& scratch);

// The names a build writes, cleaned as CleanField does, and their bytes counted.
class NameTexts {
  public:
    std::string_view Clean(std::string_view name) {
        const std::string_view clean = CleanField(name, kLongestName, scratch_);
        last_size_ = clean.size();
        return clean;
    }
    // The name last cleaned was written; LimitReached past kMostNameBytes.
    void Kept() {
        bytes_ += last_size_;
        if (bytes_ > kMostNameBytes) {
            TooMuch();
        }
    }

  private:
    [[noreturn]] static void TooMuch();

    std::string scratch_;
    std::size_t last_size_ = 0;
    std::uint64_t bytes_ = 0;
};

}  // namespace korvid::dataset
