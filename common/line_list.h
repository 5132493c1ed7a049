#pragma once
// An ordered list of text lines (bytes, no character set conversion), unsorted,
// duplicates allowed. Loading splits at CR LF, CR alone or LF alone and stops at the
// first NUL byte; a line break at the very end starts no further line. Saving writes
// every line followed by CR LF.
//
// The lines are held once, in one buffer, and beside it where each line begins
// (common/line_starts.h). A loaded text stays as it was read, each line followed by its own
// break (CR LF, CR or LF); the last line, and every line added, is followed by an LF, or by
// CR LF when the line itself ends in a CR, so that a line's own CR is never taken for part of
// its break. Loading a page costs its bytes and about one byte per line, not one string per
// line: whatever its shape, a page loaded costs at most about three times its size while it
// loads, and less once loaded. A line added whole may itself hold LF (or CR, or NUL); the
// starts, not the separators, say where it ends.

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/line_starts.h"

namespace korvid {

// One line of a LineList: a view of the list's buffer, valid until the list changes.
// It converts to std::string wherever a copy is wanted.
class LineView : public std::string_view {
  public:
    LineView() = default;
    LineView(std::string_view text) : std::string_view(text) {}
    operator std::string() const { return std::string(data(), size()); }
};

// An allocator that leaves the bytes a vector grows by unset: a page is read straight into
// them, where a std::string would first fill them with zeros.
template <typename T>
struct UnsetBytesAllocator : std::allocator<T> {
    using std::allocator<T>::allocator;
    template <typename U>
    void construct(U* at) noexcept {
        ::new (static_cast<void*>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};
using LineBuffer = std::vector<char, UnsetBytesAllocator<char>>;

class LineList {
  public:
    int Count() const noexcept { return static_cast<int>(starts_.Size()); }
    bool Empty() const noexcept { return starts_.Empty(); }

    // Throws ListIndexError "List index out of bounds (%d)" for an index outside 0..Count()-1.
    LineView operator[](int index) const;

    void Add(std::string_view line);
    // Adds one line made of the pieces in order, without building it first.
    void Add(std::initializer_list<std::string_view> pieces);
    // Empties the list. Memory up to SmallBuffer bytes is kept for the next lines (a document
    // rebuilt again and again); a larger buffer, such as a page's, is given back.
    void Clear() noexcept;
    static constexpr std::size_t SmallBuffer = 64 * 1024;

    // Replaces the lines with those of the text.
    void SetText(std::string_view text);
    // Replaces the lines with those of the file; throws FileOpenError when it cannot be
    // opened (the lines then stay as they were) and IoError when reading fails (the list is
    // then empty).
    void LoadFromFile(const std::string& file_name);
    // Writes every line and CR LF, replacing the file; throws FileCreateError when the file
    // cannot be created and IoError when writing fails.
    void SaveToFile(const std::string& file_name) const;

    // ---- The buffer, for searches over the whole page ----
    // Every line in order, each followed by its break (CR LF, CR or LF).
    std::string_view Buffer() const noexcept { return {buffer_.data(), buffer_.size()}; }
    // Where line index (0..Count()-1, unchecked) begins in Buffer(), and where it ends (the
    // offset of its break).
    std::size_t LineBegin(int index) const noexcept {
        return starts_[static_cast<std::size_t>(index)];
    }
    std::size_t LineEnd(int index) const noexcept;
    // The line that holds the byte at offset (below Buffer().size()).
    int LineAt(std::size_t offset) const noexcept;

  private:
    // Takes a text as the new buffer, cut at its first NUL, and finds its lines. The text has
    // room for one more byte, the last line's LF.
    void Adopt(LineBuffer text);
    // Ends the line just added.
    void EndAddedLine(char last);

    LineBuffer buffer_;
    LineStarts starts_;
};

}  // namespace korvid
