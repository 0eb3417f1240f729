// vextd's xtest output under Xvfb: a key pressed on a virtual pad arrives in an X client, with
// the output named, and taken by auto where uinput cannot be opened. In a Wayland session the
// log and --status say that these keys reach X11 windows only.

#if VEXTD_HAVE_XTEST

#include "RecordWriter.h"
#include "TempDir.h"
#include "VextdProcess.h"
#include "XKeyClient.h"
#include "XvfbServer.h"
#include "core/model/ButtonId.h"

#include <csignal>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

struct OutputCase {
    const char* pszName;
    bool bAuto;
    bool bWayland; // WAYLAND_DISPLAY set: XTest goes through XWayland
};

void PrintTo(const OutputCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

// What `vextd --status` prints.
std::string StatusOf(const std::string& socket) {
    return test::OutputOf(std::string(VEXTD_PATH) + " --status --socket '" + socket + "'");
}

class XTestEndToEndTest : public testing::TestWithParam<OutputCase> {};

TEST_P(XTestEndToEndTest, PadKeyArrivesInAnXClient) {
    const bool bAuto = GetParam().bAuto;
    const bool bWayland = GetParam().bWayland;
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
    ASSERT_TRUE(vextd.Start(
        args, {"VEXTD_ALLOW_ROOT=1", "SDL_VIDEODRIVER=dummy", "DISPLAY=" + xvfb.Display(),
               "VEXTD_UINPUT=" + noUinput,
               bWayland ? "WAYLAND_DISPLAY=wayland-vext" : "WAYLAND_DISPLAY=", "XDG_SESSION_TYPE=",
               // With a display SDL opens D-Bus, whose leak the suppression
               // can only name from a full stack.
               "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:"
               "fast_unwind_on_malloc=0"}))
        << vextd.Log();
    const std::string through = bWayland ? "through XWayland (display " + xvfb.Display() + ")"
                                         : "through the X display " + xvfb.Display();
    const bool bSaysWhy = vextd.Log().find("output xtest " + through + ", because cannot open " +
                                           noUinput) != std::string::npos;
    EXPECT_EQ(bSaysWhy, bAuto) << vextd.Log();
    // A Wayland session is never reported as simply working: the log and --status say which
    // windows the keys reach and how to get uinput, by the seat and never by a group.
    const std::string status = StatusOf(vextd.strSocket);
    for (const std::string& text : {vextd.Log(), status}) {
        EXPECT_EQ(text.find("keys reach X11 windows only, not Wayland windows") !=
                      std::string::npos,
                  bWayland)
            << text;
        EXPECT_EQ(text.find("70-vextkey-uinput.rules") != std::string::npos, bWayland) << text;
        EXPECT_EQ(text.find("input group"), std::string::npos) << text;
        EXPECT_EQ(text.find("usermod"), std::string::npos) << text;
    }
    EXPECT_NE(status.find(bWayland ? "output: xtest through XWayland"
                                   : "output: xtest (the X server's keyboard)"),
              std::string::npos)
        << status;

    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.Press(1, 0, false));
    std::vector<std::string> seen;
    for (int i = 0; i < 4; ++i) {
        seen.push_back(client.NextKey(5000));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"+Shift_L", "+a", "-a", "-Shift_L"}));
    EXPECT_EQ(vextd.Stop(SIGTERM), 0) << vextd.Log();
}

INSTANTIATE_TEST_SUITE_P(Output, XTestEndToEndTest,
                         testing::Values(OutputCase{"Named", false, false},
                                         OutputCase{"Auto", true, false},
                                         OutputCase{"AutoInWaylandSession", true, true},
                                         OutputCase{"NamedInWaylandSession", false, true}),
                         [](const testing::TestParamInfo<OutputCase>& info) {
                             return info.param.pszName;
                         });

} // namespace
} // namespace vext

#endif
