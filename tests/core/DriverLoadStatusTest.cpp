// The driver's load in words, as --status and Configure Vext tell it: a count of one is singular.

#include "core/driver/DriverLoadStatus.h"

#include <gtest/gtest.h>

namespace vext::test {
namespace {

TEST(DriverLoadStatus, CountsOfOneAreSingular) {
    EXPECT_EQ(DescribeDriverLoadStatus({DriverLoadState::kLoaded, 1, 1}),
              "the driver loaded 1 function and 1 mapping");
    EXPECT_EQ(DescribeDriverLoadStatus({DriverLoadState::kLoaded, 12, 0}),
              "the driver loaded 12 functions and 0 mappings");
}

} // namespace
} // namespace vext::test
