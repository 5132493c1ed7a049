// The main of the test programs: before any test runs, the addresses of the site's suggestion
// service and of its data sets point at a closed port on loopback, so nothing a test forgets
// to point elsewhere reaches the internet. A test that serves them sets its own.

#include <gtest/gtest.h>

#include "tests/support/closed_services.h"

int main(int argc, char** argv) {
    korvid::test_support::CloseOnlineServices();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
