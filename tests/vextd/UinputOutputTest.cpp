// vextd's uinput output, the real code, through a stand-in for /dev/uinput: an LD_PRELOAD
// library (UinputStandIn.c) answers the uinput ioctls on a plain file and logs them, and the
// key events land in that file.

#include "RecordWriter.h"
#include "TempDir.h"
#include "VextdProcess.h"
#include "core/model/ButtonId.h"
#include "vextd/output/LinuxKeyCodes.h"

#include <csignal>
#include <fstream>
#include <iterator>
#include <linux/input.h>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(UinputOutputTest, SetsUpTheKeyboardWritesEachKeyWithItsReportAndDestroysIt) {
    test::TempDir dir;
    const std::string registry = dir.file("registry.sqlite");
    const std::string device = dir.file("uinput");
    const std::string log = dir.file("uinput.log");
    std::ofstream(device).flush();
    // Button 0 presses "{LShift+A}": shift down, A down; its release lets go of both.
    test::RecordFunction shiftA;
    shiftA.strings.push_back({{0x2C, 0x1F}, {0x9F, 0xAC}});
    ASSERT_TRUE(
        test::WriteRecord(registry, "U", {shiftA}, {{MakeButtonId(1, 0, 1, kInputButton), 0}}));
    test::VextdProcess vextd;
    vextd.strSocket = dir.file("run/device");
    ASSERT_TRUE(vextd.Start({"--foreground", "--socket", vextd.strSocket, "--registry", registry,
                             "--output", "uinput", "--test-virtual-pads", "1"},
                            {"VEXTD_ALLOW_ROOT=1", "VEXTD_UINPUT=" + device,
                             "VEXT_UINPUT_LOG=" + log, "LD_PRELOAD=" VEXTD_UINPUT_STANDIN,
                             // The stand-in comes before the sanitizer's runtime.
                             "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:"
                             "verify_asan_link_order=0"}))
        << vextd.Log();
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.Press(1, 0, false));
    EXPECT_EQ(vextd.Stop(SIGTERM), 0) << vextd.Log();

    // The set-up: the event types, one bit for every key of the key map, the device, then
    // create; destroy on exit, and nothing else.
    std::vector<std::string> ioctls = Lines(log);
    ASSERT_GE(ioctls.size(), 5u);
    EXPECT_EQ(std::set<std::string>(ioctls.begin(), ioctls.begin() + 2),
              (std::set<std::string>{"EVBIT 1", "EVBIT 0"}));
    std::set<std::string> keyBits;
    for (int nKey = 1; nKey < 128; ++nKey) {
        if (LinuxKeyCode(nKey) != 0) {
            keyBits.insert("KEYBIT " + std::to_string(LinuxKeyCode(nKey)));
        }
    }
    ASSERT_EQ(ioctls.size(), 2 + keyBits.size() + 3);
    EXPECT_EQ(std::set<std::string>(ioctls.begin() + 2, ioctls.end() - 3), keyBits);
    EXPECT_EQ(std::vector<std::string>(ioctls.end() - 3, ioctls.end()),
              (std::vector<std::string>{"SETUP 6 22085 22612 1 VextKey virtual keyboard", "CREATE",
                                        "DESTROY"}));

    // Every key event is followed by its SYN_REPORT.
    std::ifstream in(device, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size() % sizeof(input_event), 0u);
    std::vector<std::tuple<int, int, int>> events;
    for (size_t i = 0; i < bytes.size(); i += sizeof(input_event)) {
        input_event event{};
        bytes.copy(reinterpret_cast<char*>(&event), sizeof event, i);
        events.emplace_back(event.type, event.code, event.value);
    }
    const std::tuple<int, int, int> kReport{EV_SYN, SYN_REPORT, 0};
    EXPECT_EQ(events, (std::vector<std::tuple<int, int, int>>{{EV_KEY, KEY_LEFTSHIFT, 1},
                                                              kReport,
                                                              {EV_KEY, KEY_A, 1},
                                                              kReport,
                                                              {EV_KEY, KEY_A, 0},
                                                              kReport,
                                                              {EV_KEY, KEY_LEFTSHIFT, 0},
                                                              kReport}));
}

} // namespace
} // namespace vext
