#pragma once
// A test suite that shares one sample site on loopback among its tests: started before the
// first test of the suite, stopped after the last. Link korvid_sample_site to use it.

#include <gtest/gtest.h>

#include <string>

#include "sample-site/sample_site.h"

namespace korvid::test_support {

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
