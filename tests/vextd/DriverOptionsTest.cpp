#include "vextd/common/DriverOptions.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

// The timing settings come from the command line first, then from pads.conf, else defaults.
TEST(DriverOptionsTest, TimingSettingsFromTheCommandLineThenTheFile) {
    struct Case {
        std::vector<std::string> args;
        std::string file;
        std::optional<int> nRepeatDelayMs;
        std::optional<int> nMinHoldMs;
        size_t nWarnings;
    };
    const Case cases[] = {
        {{}, "", std::nullopt, std::nullopt, 0},
        {{}, "repeat-delay-ms = 400\nmin-hold-ms=30\n", 400, 30, 0},
        {{"--repeat-delay-ms", "0"}, "repeat-delay-ms = 400\n", 0, std::nullopt, 0},
        {{},
         "repeat-delay-ms = 10001\nrepeat-delay-ms = x\n# repeat-delay-ms = 5\n",
         std::nullopt,
         std::nullopt,
         2},
        {{}, "Pad = corvel\nrepeat-delay-ms = 100\nrepeat-delay-ms = 200\n", 100, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        DriverOptions options;
        std::string error;
        ASSERT_TRUE(ParseDriverOptions(c.args, &options, &error)) << error;
        std::vector<std::string> warnings;
        ReadDriverSettings(c.file, &options, &warnings);
        EXPECT_EQ(options.nRepeatDelayMs, c.nRepeatDelayMs) << c.file;
        EXPECT_EQ(options.nMinHoldMs, c.nMinHoldMs) << c.file;
        EXPECT_EQ(warnings.size(), c.nWarnings) << c.file;
    }
    DriverOptions options;
    std::string error;
    EXPECT_FALSE(ParseDriverOptions({"--repeat-delay-ms", "-1"}, &options, &error));
    EXPECT_NE(error.find("--repeat-delay-ms"), std::string::npos);
}

} // namespace
} // namespace vext
