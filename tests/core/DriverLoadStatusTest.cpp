// The driver's load as --status and Configure Vext tell it: counts in words, one of a kind
// singular.

#include "driver/DriverLoadStatus.h"

#include <gtest/gtest.h>

namespace vext::test {
namespace {

TEST(DriverLoadStatus, CountsAreSingularForOne) {
    const struct {
        int32_t nFunctions;
        int32_t nMappings;
        const char* pszText;
    } cases[] = {
        {1, 1, "the driver loaded 1 function and 1 mapping"},
        {12, 0, "the driver loaded 12 functions and 0 mappings"},
        {0, 30, "the driver loaded 0 functions and 30 mappings"},
    };
    for (const auto& c : cases) {
        DriverLoadStatus status;
        status.state = DriverLoadState::kLoaded;
        status.nFunctions = c.nFunctions;
        status.nMappings = c.nMappings;
        EXPECT_EQ(DescribeDriverLoadStatus(status), c.pszText);
    }
}

} // namespace
} // namespace vext::test
