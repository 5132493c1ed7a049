#pragma once
// Where each line of a LineList begins, kept compact. The starts rise line by line; they are
// held in groups of 64: the first start of a group in full, the other 63 as distances from it
// in the fewest bytes that hold the group's widest one (1, 2, 4 or 8). A page of line breaks
// then costs about 1.3 bytes a line beside its text, not 8; a page of ordinary lines much less.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvid {

class LineStarts {
  public:
    std::size_t Size() const noexcept { return groups_.size() * GroupSize + open_count_; }
    bool Empty() const noexcept { return Size() == 0; }

    // The start of line index (below Size(), unchecked).
    std::size_t operator[](std::size_t index) const noexcept;
    // How many starts are at or before offset.
    std::size_t CountUpTo(std::size_t offset) const noexcept;

    // Adds the start of the next line (at or after the last one).
    void PushBack(std::size_t start) {
        open_[open_count_++] = start;
        if (open_count_ == GroupSize) {
            SealOpenGroup();
        }
    }
    // Makes room for the starts of a text of buffer_size bytes (ReserveFrom or more) in which
    // every line ends in a break of at least one byte, so that adding them moves no memory: no
    // more lines than bytes, and distances of at most one byte for each byte of text. Memory
    // not used stays untouched. A smaller text's starts grow as they come.
    void ReserveForBuffer(std::size_t buffer_size);
    static constexpr std::size_t ReserveFrom = 1024 * 1024;
    // Gives back reserved memory that the starts did not use, when that is most of it.
    void ShrinkToUse();

    // Empties the index, keeping its memory with keep_memory.
    void Clear(bool keep_memory) noexcept;

  private:
    static constexpr std::size_t GroupSize = 64;

    struct Group {
        std::uint64_t first;  // the start of the group's first line
        std::uint64_t data;  // where its distances begin in distances_ (<< 2) | log2 of their width
    };

    void SealOpenGroup();

    std::vector<Group> groups_;                    // every full group
    std::vector<unsigned char> distances_;         // 63 distances a full group
    std::array<std::uint64_t, GroupSize> open_{};  // the group still filling, in full
    std::size_t open_count_ = 0;
};

}  // namespace korvid
