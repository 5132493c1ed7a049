#pragma once
// Finding several markers in one pass over a page, ignoring a to z case.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvid {

// A set of upper-cased needles, prepared once, looked for together in one pass over a text,
// ignoring a to z case.
//
// A filter over three adjacent bytes of each needle (its rarest run), with the needles spread
// over eight buckets, passes the text once, so the cost hardly grows with the number of
// needles; each candidate is then compared whole. A needle found stops counting, the filter
// drops it once its bytes let a further candidate through, and the pass ends when every
// needle has been found. Needles without three adjacent bytes below 0x80 (the short ones among
// them) are searched alone.
class MarkerFilter {
  public:
    explicit MarkerFilter(std::vector<std::string> upper_needles);
    MarkerFilter(const MarkerFilter&) = delete;
    MarkerFilter& operator=(const MarkerFilter&) = delete;
    ~MarkerFilter();

    const std::vector<std::string>& Needles() const noexcept { return needles_; }

    // True when the filter runs on vectors. On portable code it passes about 0.35 GB/s, slower
    // than a handful of single searches with the pair filter, so a caller can do without it.
    static bool Vectorised() noexcept;

    // For each needle, what FindIgnoringCase(text, needle) gives: the offset of its first
    // occurrence, npos when there is none or the needle is empty.
    std::vector<std::size_t> FindFirst(std::string_view text) const;

  private:
    struct Tables;
    std::vector<std::string> needles_;
    std::vector<std::size_t> offsets_;      // of each needle's fingerprint
    std::unique_ptr<const Tables> tables_;  // the filter over every needle of three bytes or more
};

}  // namespace korvid
