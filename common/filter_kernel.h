#pragma once
// Which code the two search filters and the line split run on: the pair filter of
// FindIgnoringCase (common/text.h) and the line split (common/line_split.h) on AVX2 or SSE2
// (part of every x86-64), the marker filter (client/marker_filter.h) on AVX2 or SSSE3, each
// chosen at run time from what the processor has; otherwise on portable code. Best is what the program uses; tests, fuzz targets and
// benchmarks force the 128-bit kernels or the portable ones to compare them.

namespace korvid {

enum class FilterKernel { Best, Vector128, Portable };
void SetFilterKernel(FilterKernel kernel) noexcept;
FilterKernel SelectedFilterKernel() noexcept;

}  // namespace korvid
