// Key sets per game in a Wayland session, end to end: vextd follows the focus under a headless
// sway that the test starts (tests/support/WaylandSession.h) through the foreign-toplevel
// protocol, while swaymsg gives the focus to test windows with their own app_ids and titles and
// virtual pad buttons are pressed and held; the record output shows which key set played.

#if VEXT_HAVE_WAYLAND_FOCUS && VEXT_HAVE_XCB && defined(VEXT_WAYLAND_WINDOW)

#include "FocusClient.h"
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
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

namespace vext {
namespace {

constexpr int kWaitMs = 10000;

// XWayland lets in its own user only: a test run as root (whose session runs as nobody) has
// that user let root in too, as "xhost +si:localuser:root" would.
bool LetRootIn(const std::string& display) {
    const passwd* pUser = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
    if (pUser == nullptr) {
        return true;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(pUser->pw_gid) != 0 ||
            ::setuid(pUser->pw_uid) != 0) {
            ::_exit(1);
        }
        xcb_connection_t* pConnection = xcb_connect(display.c_str(), nullptr);
        static const char kRoot[] = "localuser\0root";
        const bool bOk =
            xcb_connection_has_error(pConnection) == 0 &&
            xcb_request_check(pConnection, xcb_change_hosts_checked(
                                               pConnection, XCB_HOST_MODE_INSERT,
                                               XCB_FAMILY_SERVER_INTERPRETED, sizeof kRoot - 1,
                                               reinterpret_cast<const uint8_t*>(kRoot))) == nullptr;
        xcb_disconnect(pConnection);
        ::_exit(bOk ? 0 : 1);
    }
    int nStatus = 0;
    return pid > 0 && ::waitpid(pid, &nStatus, 0) == pid && WIFEXITED(nStatus) &&
           WEXITSTATUS(nStatus) == 0;
}

class WaylandGameSwitchTest : public ::testing::Test {
protected:
    // A sway session (with XWayland when bXWayland) and games.conf with rules.
    void Begin(bool bXWayland, const std::string& rules) {
        std::string error;
        ASSERT_TRUE(session.Start(test::WaylandSession::Compositor::kSway, &error, bXWayland))
            << error;
        swaymsg = test::WaylandSession::FindProgram("swaymsg");
        ASSERT_FALSE(swaymsg.empty()) << "swaymsg is not installed: run tools/deps.sh";
        std::filesystem::create_directories(dir.file("config/vext"));
        test::WriteKeySet(dir.file("Racing.vks"), "A");
        test::WriteKeySet(dir.file("Shooter.vks"), "S");
        ASSERT_TRUE(WriteFileAtomically(dir.file("config/vext/games.conf"), rules).ok());
        ASSERT_TRUE(test::WriteRecord(dir.file("registry.sqlite"), "Default", {test::NormalKey(34)},
                                      {{MakeButtonId(1, 0, 1, kInputButton), 0}}));
    }
    void TearDown() override {
        if (winePid > 0) {
            ::kill(winePid, SIGKILL);
            ::waitpid(winePid, nullptr, 0);
        }
    }

    // vextd in the session, as its desktop would start it.
    void StartDriver() {
        std::vector<std::string> env{"VEXTD_ALLOW_ROOT=1", "XDG_CONFIG_HOME=" + dir.file("config"),
                                     "XDG_CURRENT_DESKTOP=sway",
                                     "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"};
        for (const std::string& entry : session.ClientEnv()) {
            if (!entry.starts_with("XDG_RUNTIME_DIR=") && !entry.starts_with("HOME=")) {
                env.push_back(entry);
            }
        }
        if (!session.XDisplay().empty()) {
            env.push_back("DISPLAY=" + session.XDisplay());
        }
        vextd.strSocket = dir.file("run/device");
        vextd.strRecord = dir.file("keys.log");
        ASSERT_TRUE(vextd.Start({"--foreground", "--verbose", "--socket", vextd.strSocket,
                                 "--registry", dir.file("registry.sqlite"), "--output",
                                 "record:" + vextd.strRecord, "--test-virtual-pads", "1"},
                                env))
            << vextd.Log();
    }

    void OpenWindow(const std::string& appId, const std::string& title) {
        ASSERT_GT(session.Spawn({VEXT_WAYLAND_WINDOW, appId, title},
                                {"QT_QPA_PLATFORM=wayland", "ASAN_OPTIONS=detect_leaks=0"}),
                  0);
    }

    // Runs a sway command until it succeeds: it fails while no window matches its criteria.
    void Sway(const std::string& command) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        while (test::WaylandSession::Wait(session.Spawn({swaymsg, command}), kWaitMs) != 0) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << command << " failed:\n"
                                                                  << session.Log();
            ::poll(nullptr, 0, 50);
        }
    }

    // Gives the window the focus through sway and waits for the driver to say what plays (the
    // first time, the window may have had the focus from the start).
    void Focus(const std::string& criteria, const std::string& expectedLog) {
        const size_t nFrom = bFocused ? vextd.Log().size() : 0;
        bFocused = true;
        ASSERT_NO_FATAL_FAILURE(Sway(criteria + " focus"));
        ASSERT_TRUE(vextd.WaitForLog(expectedLog, kWaitMs, nFrom)) << vextd.Log();
    }

    std::string Click() { return vextd.Click(1, 0, kWaitMs); }

    test::TempDir dir;
    test::WaylandSession session;
    test::VextdProcess vextd;
    std::string swaymsg;
    pid_t winePid = -1;
    bool bFocused = false;
};

TEST_F(WaylandGameSwitchTest, SwitchesByAppIdAndTitleAndReleasesHeldKeys) {
    Begin(false, "class VEXT-RACING = " + dir.file("Racing.vks") +
                     "\ntitle *shooter* = " + dir.file("Shooter.vks") + "\n");
    OpenWindow("vext-racing", "Racing");
    OpenWindow("vext-shooter", "My Shooter");
    // Both mapped first: a window that maps takes the focus.
    ASSERT_NO_FATAL_FAILURE(Sway("[app_id=vext-racing] nop"));
    ASSERT_NO_FATAL_FAILURE(Sway("[app_id=vext-shooter] nop"));
    ASSERT_NO_FATAL_FAILURE(StartDriver());
    ASSERT_NO_FATAL_FAILURE(
        Focus("[app_id=vext-racing]", "key set in play: \"Racing\" (rule 1: class VEXT-RACING)"));
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.WaitForRecords(1, kWaitMs));
    EXPECT_EQ(vextd.RecordText(), "31+");

    // The switch lifts the key the old key set holds; the new one needs a fresh press.
    ASSERT_NO_FATAL_FAILURE(
        Focus("[app_id=vext-shooter]", "key set in play: \"Shooter\" (rule 2: title *shooter*)"));
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    ASSERT_TRUE(vextd.Press(1, 0, false));
    EXPECT_EQ(Click(), "32+ 32-");
    ASSERT_NO_FATAL_FAILURE(Focus("[app_id=vext-racing]", "key set in play: \"Racing\""));
    EXPECT_EQ(Click(), "31+ 31-");

    EXPECT_NE(test::RunForOutput({VEXTD_PATH, "--status", "--socket", vextd.strSocket})
                  .find("\nfocus: wlroots\n"),
              std::string::npos);
    EXPECT_EQ(vextd.Stop(SIGTERM), 0) << vextd.Log();
}

// A Proton game under XWayland: X11 gives its pid, so the rule for its .exe matches, while sway
// tells which window has the focus, a native Wayland one included.
TEST_F(WaylandGameSwitchTest, XWaylandWindowsMatchByTheirProgram) {
    Begin(true, "program racing.exe = " + dir.file("Racing.vks") +
                    "\ntitle *shooter* = " + dir.file("Shooter.vks") + "\n");
    ASSERT_TRUE(LetRootIn(session.XDisplay()));
    test::FocusClient xClient;
    ASSERT_TRUE(xClient.Open(session.XDisplay()));
    winePid = test::StartFakeWineGame(dir.path().string());
    ASSERT_NE(xClient.MakeWindow("racing.exe", "steam_app_1", "Racing", winePid), 0U);
    OpenWindow("vext-shooter", "My Shooter");
    ASSERT_NO_FATAL_FAILURE(Sway("[class=steam_app_1] nop"));
    ASSERT_NO_FATAL_FAILURE(Sway("[app_id=vext-shooter] nop"));
    ASSERT_NO_FATAL_FAILURE(StartDriver());
    for (int nRound = 0; nRound < 2; ++nRound) {
        ASSERT_NO_FATAL_FAILURE(Focus("[class=steam_app_1]",
                                      "key set in play: \"Racing\" (rule 1: program racing.exe)"));
        EXPECT_EQ(Click(), "31+ 31-");
        ASSERT_NO_FATAL_FAILURE(Focus("[app_id=vext-shooter]",
                                      "key set in play: \"Shooter\" (rule 2: title *shooter*)"));
        EXPECT_EQ(Click(), "32+ 32-");
    }
    EXPECT_NE(test::RunForOutput({VEXTD_PATH, "--status", "--socket", vextd.strSocket})
                  .find("\nfocus: wlroots + XWayland\n"),
              std::string::npos);
    // X11 and sway tell of each change in their own time; the game never lost its facts between.
    EXPECT_EQ(vextd.Log().find("(default)"), std::string::npos) << vextd.Log();
    EXPECT_EQ(vextd.Stop(SIGTERM), 0) << vextd.Log();
}

// GNOME's compositor offers nothing of the focus, and without GNOME Shell on the bus there is no
// extension to ask: both --status say so, and why. (weston stands in for it: it lacks the
// protocol too.)
TEST(WaylandFocusUnavailableTest, GnomeSaysWhyInBothStatus) {
    test::TempDir dir;
    test::WaylandSession session;
    std::string error;
    ASSERT_TRUE(session.Start(test::WaylandSession::Compositor::kWeston, &error)) << error;
    ASSERT_TRUE(test::WriteRecord(dir.file("registry.sqlite"), "Default", {test::NormalKey(34)},
                                  {{MakeButtonId(1, 0, 1, kInputButton), 0}}));
    std::vector<std::string> env{"VEXTD_ALLOW_ROOT=1", "XDG_CONFIG_HOME=" + dir.file("config"),
                                 "XDG_CURRENT_DESKTOP=ubuntu:GNOME"};
    for (const std::string& entry : session.ClientEnv()) {
        if (entry.starts_with("WAYLAND_DISPLAY=") || entry.starts_with("XDG_SESSION_TYPE=")) {
            env.push_back(entry);
        }
    }
    test::VextdProcess vextd;
    vextd.strSocket = dir.file("device");
    ASSERT_TRUE(vextd.Start({"--foreground", "--socket", vextd.strSocket, "--registry",
                             dir.file("registry.sqlite"), "--output",
                             "record:" + dir.file("keys.log"), "--test-virtual-pads", "1"},
                            env))
        << vextd.Log();
    // Without GNOME Shell on a session bus the extension cannot help either.
    const std::string expected = "\nfocus: unavailable (GNOME on Wayland: ";
    EXPECT_NE(
        test::RunForOutput({VEXTD_PATH, "--status", "--socket", vextd.strSocket}).find(expected),
        std::string::npos);
#ifdef VEXTKEY_EXE
    EXPECT_NE(test::RunForOutput({VEXTKEY_EXE, "--status"},
                                 {"VEXT_DEVICE=" + vextd.strSocket,
                                  "VEXT_REGISTRY=" + dir.file("registry.sqlite"),
                                  "QT_QPA_PLATFORM=offscreen"})
                  .find(expected),
              std::string::npos);
#endif
    EXPECT_EQ(vextd.Stop(SIGTERM), 0) << vextd.Log();
}

} // namespace
} // namespace vext

#endif
