#pragma once
// Every line of a LineList as one string each, for comparing a list with the lines expected.

#include <string>
#include <vector>

#include "common/line_list.h"

namespace korvid::test_support {

inline std::vector<std::string> AllLines(const LineList& list) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(list.Count()));
    for (int i = 0; i < list.Count(); ++i) {
        lines.emplace_back(list[i]);
    }
    return lines;
}

}  // namespace korvid::test_support
