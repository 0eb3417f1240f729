// Key sets per game in KDE Plasma on Wayland, end to end: vextd follows the focus through its
// script in a headless KWin that the test starts with a session bus of its own
// (tests/support/WaylandSession.h). The test activates its windows through a KWin script of its
// own, presses virtual pad buttons and reads the record output.

#if VEXT_HAVE_KWIN_FOCUS && defined(VEXT_WAYLAND_WINDOW)

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
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

constexpr int kWaitMs = 20000;

class KWinGameSwitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(session.Start(test::WaylandSession::Compositor::kKWin, &error)) << error;
        dbusSend = test::WaylandSession::FindProgram("dbus-send");
        for (const std::string& entry : session.ClientEnv()) {
            if (entry.starts_with("DBUS_SESSION_BUS_ADDRESS=")) {
                busEnv = entry;
            }
        }
    }

    // dbus-send's output for a call (its errors go to the session's log).
    std::string Bus(const std::string& dest, const std::string& path, const std::string& method,
                    const std::vector<std::string>& args = {}) {
        std::vector<std::string> argv{dbusSend,         "--session", "--print-reply",
                                      "--dest=" + dest, path,        method};
        argv.insert(argv.end(), args.begin(), args.end());
        return test::RunForOutput(argv, {busEnv});
    }
    std::string Scripting(const std::string& method, const std::vector<std::string>& args) {
        return Bus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting." + method, args);
    }

    // Activates the window with this app_id through a script of the test's own until the
    // driver says what plays (a window that has only just started may not be KWin's yet).
    void Activate(const std::string& appId, const std::string& expectedLog, size_t nFrom) {
        const std::string script = "var all = workspace.clientList();\n"
                                   "for (var i = 0; i < all.length; ++i)\n"
                                   "    if (String(all[i].resourceClass) === '" +
                                   appId + "') workspace.activeClient = all[i];\n";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        do {
            const std::string name = "vext-test-" + std::to_string(++nScripts);
            const std::string path = session.Folder() + "/" + name + ".js";
            ASSERT_TRUE(WriteFileAtomically(path, script).ok());
            ::chmod(path.c_str(), 0644);
            Scripting("loadScript", {"string:" + path, "string:" + name});
            Scripting("start", {});
        } while (!vextd.WaitForLog(expectedLog, 1000, nFrom) &&
                 std::chrono::steady_clock::now() < deadline);
        ASSERT_TRUE(vextd.WaitForLog(expectedLog, 0, nFrom)) << vextd.Log() << session.Log();
    }

    void OpenWindow(const std::string& program, const std::string& appId,
                    const std::string& title) {
        ASSERT_GT(session.Spawn({program, appId, title},
                                {"QT_QPA_PLATFORM=wayland", "ASAN_OPTIONS=detect_leaks=0"}),
                  0);
    }

    std::string Click() { return vextd.Click(1, 0, kWaitMs); }

    test::TempDir dir;
    test::WaylandSession session;
    test::VextdProcess vextd;
    std::string dbusSend;
    std::string busEnv;
    int nScripts = 0;
};

TEST_F(KWinGameSwitchTest, SwitchesByClassAndProgramAndHeedsOnlyKWin) {
    std::filesystem::create_directories(dir.file("config/vext"));
    test::WriteKeySet(dir.file("Racing.vks"), "A");
    test::WriteKeySet(dir.file("Shooter.vks"), "S");
    ASSERT_TRUE(WriteFileAtomically(dir.file("config/vext/games.conf"),
                                    "class VEXT-RACING = " + dir.file("Racing.vks") +
                                        "\nprogram shooter_game = " + dir.file("Shooter.vks") +
                                        "\n")
                    .ok());
    ASSERT_TRUE(test::WriteRecord(dir.file("registry.sqlite"), "Default", {test::NormalKey(34)},
                                  {{MakeButtonId(1, 0, 1, kInputButton), 0}}));
    // The shooter is a program of another name: a rule by program must know it by its pid.
    const std::string shooter = session.Folder() + "/shooter_game";
    std::error_code ec;
    ASSERT_TRUE(std::filesystem::copy_file(VEXT_WAYLAND_WINDOW, shooter, ec)) << ec.message();

    ASSERT_TRUE(test::StartSessionDriver(vextd, dir, "KDE", session.ClientEnv()))
        << vextd.Log() << session.Log();
    EXPECT_NE(Scripting("isScriptLoaded", {"string:vextd-focus"}).find("boolean true"),
              std::string::npos);

    ASSERT_NO_FATAL_FAILURE(OpenWindow(VEXT_WAYLAND_WINDOW, "vext-racing", "Racing"));
    ASSERT_NO_FATAL_FAILURE(
        Activate("vext-racing", "key set in play: \"Racing\" (rule 1: class VEXT-RACING)", 0));
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.WaitForRecords(1, kWaitMs));
    EXPECT_EQ(vextd.RecordText(), "31+");

    // The switch lifts the key the old key set holds; the new one needs a fresh press.
    size_t nFrom = vextd.Log().size();
    ASSERT_NO_FATAL_FAILURE(OpenWindow(shooter, "vext-shooter", "My Shooter"));
    ASSERT_NO_FATAL_FAILURE(Activate(
        "vext-shooter", "key set in play: \"Shooter\" (rule 2: program shooter_game)", nFrom));
    EXPECT_NE(vextd.Log().find("\"My Shooter\" (class \"vext-shooter\", program \"shooter_game\")",
                               nFrom),
              std::string::npos)
        << vextd.Log().substr(nFrom);
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    ASSERT_TRUE(vextd.Press(1, 0, false));
    EXPECT_EQ(Click(), "32+ 32-");
    nFrom = vextd.Log().size();
    ASSERT_NO_FATAL_FAILURE(Activate("vext-racing", "key set in play: \"Racing\"", nFrom));
    EXPECT_EQ(Click(), "31+ 31-");

    // Another program on the bus cannot pass a window off as KWin's.
    const std::string log = vextd.Log();
    const size_t nName = log.find("reports the focus to ") + 21;
    const std::string driverName = log.substr(nName, log.find('\n', nName) - nName);
    nFrom = log.size();
    EXPECT_EQ(Bus(driverName, "/org/vextkey/KWinFocus", "org.vextkey.KWinFocus.Window",
                  {"string:vext-shooter", "string:My Shooter", "string:1"}),
              "");
    EXPECT_TRUE(vextd.WaitForLog("not KWin, is ignored", kWaitMs, nFrom)) << vextd.Log();
    EXPECT_EQ(Click(), "31+ 31-");

    EXPECT_NE(test::RunForOutput({VEXTD_PATH, "--status", "--socket", vextd.strSocket})
                  .find("\nfocus: KWin\n"),
              std::string::npos);
    EXPECT_EQ(vextd.Stop(SIGTERM), 0) << vextd.Log();
    EXPECT_NE(Scripting("isScriptLoaded", {"string:vextd-focus"}).find("boolean false"),
              std::string::npos);
}

} // namespace
} // namespace vext

#endif
