#pragma once
// Numbers as both programs show them: counts with thousands separators, byte counts in kB or
// MB, durations in hours, minutes and seconds.

#include <cstdint>
#include <string>

namespace korvid {

// "1,234,567".
std::string GroupedNumber(std::uint64_t number);
// "1,234.5 MB", or "61.0 kB" below a megabyte (decimal units, one decimal).
std::string MegabytesText(std::uint64_t bytes);
// Bytes as a person reads a disk's figures: "2.6 GB", "350 MB", "12 kB".
std::string DiskSizeText(std::uint64_t bytes);
// "1:05:09" or "4:07".
std::string DurationText(double seconds);

}  // namespace korvid
