// What the driver makes of GNOME Shell's extension: its calls as bounded windows, and how the
// Shell's word on the extension becomes what --status and the configurator say.

#include "core/games/GnomeReport.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(GnomeReport, CallsBecomeBoundedWindows) {
    std::string longTitle(kMaxGnomeTitle - 1, 't');
    longTitle += "\xC3\xA9 more"; // the cut falls inside the two bytes of "é"
    struct Case {
        std::string klass;
        std::string title;
        uint32_t nPid;
        std::vector<std::string> classes;
        std::string strTitle;
        int32_t nPid2;
    };
    const Case cases[] = {
        {"steam_app_244210", "Racing", 4242, {"steam_app_244210"}, "Racing", 4242},
        {"", "", 0, {}, "", 0}, // a window the Shell knows nothing of
        {"org.gnome.Terminal", "~", 0xFFFFFFFF, {"org.gnome.Terminal"}, "~", 0},
        {"x", "~", 4'194'305, {"x"}, "~", 0},
        {std::string(300, 'c'), "x", 1, {std::string(kMaxGnomeClass, 'c')}, "x", 1},
        {"a", longTitle, 1, {"a"}, std::string(kMaxGnomeTitle - 1, 't'), 1},
    };
    for (const Case& c : cases) {
        const FocusedWindow window = WindowFromGnome(c.klass, c.title, c.nPid);
        EXPECT_TRUE(window.bPresent);
        EXPECT_EQ(window.classes, c.classes) << c.klass;
        EXPECT_EQ(window.strTitle, c.strTitle);
        EXPECT_EQ(window.nPid, c.nPid2) << c.nPid;
        EXPECT_TRUE(window.strProgram.empty()); // the driver asks the pid for it
    }
}

TEST(GnomeReport, TheExtensionsStateSaysWhatToDo) {
    struct Case {
        bool bHasState;
        double dState;
        GnomeExtensionState state;
        bool bEnable;
        bool bLogIn;
    };
    const Case cases[] = {
        {true, 1, GnomeExtensionState::kEnabled, false, false},
        {true, 2, GnomeExtensionState::kDisabled, true, false},
        {true, 6, GnomeExtensionState::kDisabled, true, false}, // loaded, never turned on
        {false, 0, GnomeExtensionState::kUnknown, true, true},  // the Shell has not loaded it
        {true, 3, GnomeExtensionState::kError, false, false},
        {true, 4, GnomeExtensionState::kOutOfDate, false, false},
    };
    for (const Case& c : cases) {
        const GnomeExtensionState state = GnomeExtensionStateFrom(c.bHasState, c.dState);
        EXPECT_EQ(state, c.state) << c.dState;
        const std::string advice = GnomeExtensionAdvice(state);
        EXPECT_EQ(advice.empty(), state == GnomeExtensionState::kEnabled);
        const std::string status = "unavailable (" + advice + ")";
        EXPECT_EQ(AdviceAsksToEnable(status), c.bEnable) << advice;
        EXPECT_EQ(AdviceAsksToLogIn(status), c.bLogIn) << advice;
    }
    EXPECT_EQ(GnomeExtensionAdvice(GnomeExtensionState::kDisabled),
              "GNOME: turn on the VextKey extension: gnome-extensions enable focus@vextkey");
    EXPECT_FALSE(AdviceAsksToEnable("GNOME Shell"));
}

} // namespace
} // namespace vext
