#pragma once
// A name for a parameterised case taken from its printed parameter, for tables whose rows
// have no short name of their own: letters and digits kept, every other run of characters
// one '_', at most 40 characters, after the row's index so that names stay unique.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace korvid::test_support {

struct PrintedCaseName {
    template <class Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
        std::string name = std::to_string(info.index) + "_";
        for (const char c : ::testing::PrintToString(info.param)) {
            if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
                name += c;
            } else if (name.back() != '_') {
                name += '_';
            }
            if (name.size() >= 40) {
                break;
            }
        }
        while (name.back() == '_') {
            name.pop_back();
        }
        return name;
    }
};

}  // namespace korvid::test_support
