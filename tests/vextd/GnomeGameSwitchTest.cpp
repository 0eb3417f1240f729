// Key sets per game in GNOME Shell, end to end: a headless GNOME Shell that the test starts
// (tests/support/WaylandSession.h) runs the extension as the package installs it, which tells
// vextd the focus over the session bus. The test moves the focus between a Wayland and an
// XWayland window through the Shell's Eval, presses virtual pad buttons and reads the record
// output; it turns the extension off and on again, and forges a call from another program.

#if VEXT_HAVE_KWIN_FOCUS && defined(VEXT_WAYLAND_WINDOW) && defined(VEXT_GNOME_EXTENSION)

#include "GameTestFiles.h"
#include "RecordWriter.h"
#include "TempDir.h"
#include "VextdProcess.h"
#include "WaylandSession.h"
#include "core/model/ButtonId.h"
#include "core/platform/AtomicFile.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

constexpr int kWaitMs = 20000;
const char* const kTurnOn =
    "focus: unavailable (GNOME: turn on the VextKey extension: gnome-extensions enable "
    "focus@vextkey)";

class GnomeGameSwitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(session.Start(test::WaylandSession::Compositor::kGnome, &error, false,
                                  VEXT_GNOME_EXTENSION))
            << error;
        gdbus = test::WaylandSession::FindProgram("gdbus");
    }

    std::string Call(const std::string& dest, const std::string& path, const std::string& method,
                     const std::vector<std::string>& args) {
        std::vector<std::string> argv{gdbus, "call",     "--session", "--timeout",
                                      "5",   "--dest",   dest,        "--object-path",
                                      path,  "--method", method};
        argv.insert(argv.end(), args.begin(), args.end());
        return session.Output(argv);
    }
    std::string Extensions(const std::string& method) {
        return Call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions." + method,
                    {"focus@vextkey"});
    }

    // Gives the window with this title the focus through the Shell until the driver says what
    // plays (a window that has only just started may not be mapped yet).
    void Activate(const std::string& title, const std::string& expectedLog, size_t nFrom) {
        const std::string js = "(() => { const w = global.get_window_actors()"
                               ".map(a => a.meta_window).find(w => w.get_title() === '" +
                               title +
                               "'); if (w) w.activate(global.get_current_time()); "
                               "return !!w; })()";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        do {
            session.Eval(js);
        } while (!vextd.WaitForLog(expectedLog, 500, nFrom) &&
                 std::chrono::steady_clock::now() < deadline);
        ASSERT_TRUE(vextd.WaitForLog(expectedLog, 0, nFrom)) << vextd.Log() << session.Log();
    }

    std::string Status() {
        return test::RunForOutput({VEXTD_PATH, "--status", "--socket", vextd.strSocket});
    }
    bool StatusHas(const std::string& line) {
        return Status().find("\n" + line + "\n") != std::string::npos;
    }

    std::string Click() { return vextd.Click(1, 0, kWaitMs); }

    test::TempDir dir;
    test::WaylandSession session;
    test::VextdProcess vextd;
    std::string gdbus;
};

TEST_F(GnomeGameSwitchTest, FollowsWaylandAndXWaylandWindowsAndHeedsOnlyTheShell) {
    std::filesystem::create_directories(dir.file("config/vext"));
    test::WriteKeySet(dir.file("Racing.vks"), "A");
    test::WriteKeySet(dir.file("Shooter.vks"), "S");
    ASSERT_TRUE(WriteFileAtomically(dir.file("config/vext/games.conf"),
                                    "class vext-racing = " + dir.file("Racing.vks") +
                                        "\nprogram xshooter = " + dir.file("Shooter.vks") + "\n")
                    .ok());
    ASSERT_TRUE(test::WriteRecord(dir.file("registry.sqlite"), "Default", {test::NormalKey(34)},
                                  {{MakeButtonId(1, 0, 1, kInputButton), 0}}));
    // The XWayland window is a program of another name: the rule knows it by its pid.
    const std::string shooter = session.Folder() + "/xshooter";
    std::error_code ec;
    ASSERT_TRUE(std::filesystem::copy_file(VEXT_WAYLAND_WINDOW, shooter, ec)) << ec.message();

    ASSERT_TRUE(test::StartSessionDriver(vextd, dir, "GNOME", session.ClientEnv()))
        << vextd.Log() << session.Log();

    ASSERT_GT(session.Spawn({VEXT_WAYLAND_WINDOW, "vext-racing", "Racing"},
                            {"QT_QPA_PLATFORM=wayland", "ASAN_OPTIONS=detect_leaks=0"}),
              0);
    ASSERT_NO_FATAL_FAILURE(
        Activate("Racing", "key set in play: \"Racing\" (rule 1: class vext-racing)", 0));
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.WaitForRecords(1, kWaitMs));
    EXPECT_EQ(vextd.RecordText(), "31+");

    // The switch lifts the key the old key set holds; the new one needs a fresh press.
    size_t nFrom = vextd.Log().size();
    ASSERT_GT(session.Spawn({shooter, "vext-xshooter", "X Shooter"},
                            {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + session.XDisplay(),
                             "XAUTHORITY=" + session.XAuthority(), "-WAYLAND_DISPLAY",
                             "ASAN_OPTIONS=detect_leaks=0"}),
              0);
    ASSERT_NO_FATAL_FAILURE(
        Activate("X Shooter", "key set in play: \"Shooter\" (rule 2: program xshooter)", nFrom));
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    ASSERT_TRUE(vextd.Press(1, 0, false));
    EXPECT_EQ(Click(), "32+ 32-");
    EXPECT_TRUE(StatusHas("focus: GNOME Shell")) << Status();

    // Another program on the bus cannot pass a window off as the Shell's.
    nFrom = vextd.Log().size();
    EXPECT_EQ(Call("org.vextkey.GnomeFocus", "/org/vextkey/GnomeFocus",
                   "org.vextkey.GnomeFocus.Window", {"vext-racing", "Racing", "1"}),
              "");
    EXPECT_TRUE(vextd.WaitForLog("not GNOME Shell, is ignored", kWaitMs, nFrom)) << vextd.Log();
    EXPECT_EQ(Click(), "32+ 32-");

    // Turned off, the extension leaves the downloaded key set playing and the driver says what
    // to do; turned on again, it tells the focus at once.
    nFrom = vextd.Log().size();
    EXPECT_NE(Extensions("DisableExtension").find("true"), std::string::npos);
    ASSERT_TRUE(vextd.WaitForLog("per-game key sets wait: GNOME: turn on", kWaitMs, nFrom))
        << vextd.Log();
    EXPECT_TRUE(StatusHas(kTurnOn)) << Status();
    EXPECT_EQ(Click(), "34+ 34-");
    nFrom = vextd.Log().size();
    EXPECT_NE(Extensions("EnableExtension").find("true"), std::string::npos);
    ASSERT_TRUE(vextd.WaitForLog("key set in play: \"Shooter\"", kWaitMs, nFrom)) << vextd.Log();
    EXPECT_TRUE(StatusHas("focus: GNOME Shell")) << Status();
    EXPECT_EQ(Click(), "32+ 32-");
    EXPECT_EQ(vextd.Stop(SIGTERM), 0) << vextd.Log();
}

} // namespace
} // namespace vext

#endif
