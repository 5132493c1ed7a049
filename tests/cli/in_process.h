#pragma once
// Running korvid-cli in-process for the command tests, and a suite that shares one sample
// site on loopback among its tests.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "sample-site/sample_site.h"

namespace korvid::test_support {

struct CliRun {
    int exit_code;
    std::string out;
    std::string err;
};

// korvid-cli with these arguments, input as its standard input.
inline CliRun RunInProcess(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::RunCommandLine(args, in, out, err);
    return {code, out.str(), err.str()};
}

class SampleSiteSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { site_ = new sample::RunningSampleSite(); }
    static void TearDownTestSuite() {
        delete site_;
        site_ = nullptr;
    }
    static std::string Address(const std::string& film) {
        return site_->BaseUrl() + "/title/" + film + "/";
    }

    static inline sample::RunningSampleSite* site_ = nullptr;
};

}  // namespace korvid::test_support
