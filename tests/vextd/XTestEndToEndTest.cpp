// vextd's xtest output under Xvfb: a key pressed on a virtual pad arrives in an X client, with
// the output named, and taken by auto where uinput cannot be opened.

#if VEXTD_HAVE_XTEST

#include "RecordWriter.h"
#include "TempDir.h"
#include "VextdProcess.h"
#include "XKeyClient.h"
#include "XvfbServer.h"
#include "model/ButtonId.h"

#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

class XTestEndToEndTest : public testing::TestWithParam<bool> {};

TEST_P(XTestEndToEndTest, PadKeyArrivesInAnXClient) {
    const bool bAuto = GetParam();
    test::XvfbServer xvfb;
    // tools/deps.sh installs Xvfb; a run without it must not pass for a run with it.
    ASSERT_TRUE(xvfb.Start()) << "Xvfb is not available: run tools/deps.sh";
    test::XKeyClient client;
    ASSERT_TRUE(client.Open(xvfb.Display()));

    test::TempDir dir;
    const std::string registry = dir.file("registry.sqlite");
    // Button 0 types "{LShift+A}" as its press codes leave it: shift down, A down; the release
    // lets go of both.
    test::RecordFunction shiftA;
    shiftA.strings.push_back({{0x2C, 0x1F}, {0x9F, 0xAC}});
    ASSERT_TRUE(
        test::WriteRecord(registry, "X", {shiftA}, {{MakeButtonId(1, 0, 1, kInputButton), 0}}));
    test::VextdProcess vextd;
    vextd.strSocket = dir.file("run/device");
    std::vector<std::string> args{
        "--foreground",        "--socket", vextd.strSocket, "--registry", registry,
        "--test-virtual-pads", "1"};
    if (!bAuto) {
        args.insert(args.end(), {"--output", "xtest"});
    }
    const std::string noUinput = dir.file("no-uinput");
    ASSERT_TRUE(vextd.Start(args, {"VEXTD_ALLOW_ROOT=1", "SDL_VIDEODRIVER=dummy",
                                   "DISPLAY=" + xvfb.Display(), "VEXTD_UINPUT=" + noUinput,
                                   // With a display SDL opens D-Bus, whose leak the suppression
                                   // can only name from a full stack.
                                   "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:"
                                   "fast_unwind_on_malloc=0"}))
        << vextd.Log();
    const bool bSaysWhy =
        vextd.Log().find("output xtest through the X display " + xvfb.Display() +
                         ", because cannot open " + noUinput) != std::string::npos;
    EXPECT_EQ(bSaysWhy, bAuto) << vextd.Log();

    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.Press(1, 0, false));
    std::vector<std::string> seen;
    for (int i = 0; i < 4; ++i) {
        seen.push_back(client.NextKey(5000));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"+Shift_L", "+a", "-a", "-Shift_L"}));
    EXPECT_EQ(vextd.Stop(SIGTERM), 0) << vextd.Log();
}

INSTANTIATE_TEST_SUITE_P(Output, XTestEndToEndTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Auto" : "Named";
                         });

} // namespace
} // namespace vext

#endif
