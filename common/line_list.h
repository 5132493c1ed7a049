#pragma once
// An ordered list of text lines (bytes, no character set conversion), unsorted,
// duplicates allowed. Loading splits at CR LF, CR alone or LF alone and stops at the
// first NUL byte; a line break at the very end starts no further line. Saving writes
// every line followed by CR LF.

#include <string>
#include <string_view>
#include <vector>

namespace korvid {

class LineList {
  public:
    int Count() const noexcept { return static_cast<int>(lines_.size()); }
    bool Empty() const noexcept { return lines_.empty(); }

    // Throws ListIndexError "List index out of bounds (%d)" for an index outside 0..Count()-1.
    const std::string& operator[](int index) const;

    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() noexcept { lines_.clear(); }

    // Replaces the lines with those of the text.
    void SetText(std::string_view text);
    // Replaces the lines with those of the file; throws FileOpenError when it cannot be read.
    void LoadFromFile(const std::string& file_name);
    // Writes every line and CR LF, replacing the file; throws FileCreateError when the file
    // cannot be created and IoError when writing fails.
    void SaveToFile(const std::string& file_name) const;

    const std::vector<std::string>& Lines() const noexcept { return lines_; }

  private:
    std::vector<std::string> lines_;
};

}  // namespace korvid
