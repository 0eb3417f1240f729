// Key sets per game, end to end: vextd follows _NET_ACTIVE_WINDOW on an Xvfb server of the
// test's own, where a stand-in window manager gives the focus to windows with different
// programs, classes and titles while virtual pad buttons are pressed and held; the record output
// shows which key set played.

#if VEXT_HAVE_XCB

#include "FocusClient.h"
#include "GameTestFiles.h"
#include "RecordWriter.h"
#include "TempDir.h"
#include "VextdProcess.h"
#include "XvfbServer.h"
#include "core/driver/DeviceCodes.h"
#include "core/model/ButtonId.h"
#include "core/platform/AtomicFile.h"

#include <csignal>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

constexpr int kWaitMs = 10000;
const std::string kAsan = "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0";

class GameSwitchEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb.Start()) << "Xvfb is not available: run tools/deps.sh";
        ASSERT_TRUE(wm.Open(xvfb.Display()));
        std::filesystem::create_directories(dir.file("config/vext"));
        test::WriteKeySet(dir.file("Racing.vks"), "A");
        test::WriteKeySet(dir.file("Shooter.vks"), "S", {"Q", "W", "E"});
        test::WriteKeySet(dir.file("Puzzle.vks"), "D");
        WriteConfig("");
        ASSERT_TRUE(test::WriteRecord(dir.file("registry.sqlite"), "Default", {test::NormalKey(kF)},
                                      {{MakeButtonId(1, 0, 1, kInputButton), 0}}));
        winePid = test::StartFakeWineGame(dir.path().string());
        racing = wm.MakeWindow("racing.exe", "steam_app_1", "Racing", winePid);
        shooter = wm.MakeWindow("steam_app_244210", "steam_app_244210", "Shooter", 0);
        puzzle = wm.MakeWindow("puzzle", "Puzzle", "My PUZZLE game", 0);
        plain = wm.MakeWindow("xterm", "XTerm", "Terminal", 0);
        configurator = wm.MakeWindow("vextkey", "VextKey", "Game Key Sets", 0);

        vextd.strSocket = dir.file("run/device");
        vextd.strRecord = dir.file("keys.log");
        ASSERT_TRUE(vextd.Start({"--foreground", "--verbose", "--socket", vextd.strSocket,
                                 "--registry", dir.file("registry.sqlite"), "--output",
                                 "record:" + vextd.strRecord, "--test-virtual-pads", "1"},
                                {"VEXTD_ALLOW_ROOT=1", "DISPLAY=" + xvfb.Display(),
                                 "XDG_CONFIG_HOME=" + dir.file("config"), kAsan}))
            << vextd.Log();
    }
    void TearDown() override {
        if (winePid > 0) {
            ::kill(winePid, SIGKILL);
            ::waitpid(winePid, nullptr, 0);
        }
    }

    // games.conf, written atomically as the dialog writes it.
    void WriteConfig(const std::string& extra) {
        ASSERT_TRUE(WriteFileAtomically(dir.file("config/vext/games.conf"),
                                        "program racing.exe = " + dir.file("Racing.vks") +
                                            "\n"
                                            "class STEAM_APP_244210 = " +
                                            dir.file("Shooter.vks") +
                                            "\n"
                                            "title *puzzle* = ../../Puzzle.vks\n" +
                                            extra)
                        .ok());
    }

    // Gives the window the focus and waits for the driver to say what plays.
    void Focus(uint32_t window, const std::string& expectedLog) {
        const size_t nFrom = vextd.Log().size();
        ASSERT_TRUE(wm.Activate(window));
        ASSERT_TRUE(vextd.WaitForLog(expectedLog, kWaitMs, nFrom)) << vextd.Log();
    }

    std::string Click(int nButton = 0) { return vextd.Click(1, nButton, kWaitMs); }

    static constexpr uint8_t kF = 34;
    test::TempDir dir;
    test::XvfbServer xvfb;
    test::FocusClient wm;
    test::VextdProcess vextd;
    pid_t winePid = -1;
    uint32_t racing = 0, shooter = 0, puzzle = 0, plain = 0, configurator = 0;
};

TEST_F(GameSwitchEndToEndTest, EachWindowPlaysItsKeySetAndEverySwitchReleasesHeldKeys) {
    Focus(racing, "key set in play: \"Racing\" (rule 1: program racing.exe)");
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.WaitForRecords(1, kWaitMs));
    EXPECT_EQ(vextd.RecordText(), "31+");

    // The switch lifts the key held by the old key set; the new one needs a fresh press.
    Focus(shooter, "key set in play: \"Shooter\" (rule 2: class STEAM_APP_244210)");
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    ASSERT_TRUE(vextd.Press(1, 0, false));
    EXPECT_EQ(Click(), "32+ 32-");

    Focus(puzzle, "key set in play: \"Puzzle\" (rule 3: title *puzzle*)");
    EXPECT_EQ(Click(), "33+ 33-");
    // No window (window managers clear the focus between two) switches nothing.
    Focus(0, "no window has the focus");
    EXPECT_EQ(Click(), "33+ 33-");
    Focus(plain, "key set in play: \"Default\" (default)");
    EXPECT_EQ(Click(), "34+ 34-");

    // Nor does the configurator's window: the game's key set stays.
    Focus(shooter, "key set in play: \"Shooter\"");
    Focus(configurator, "the configurator has the focus");
    EXPECT_EQ(Click(), "32+ 32-");
    // Rules edited meanwhile, the one in play gone: still nothing switches.
    const size_t nFrom = vextd.Log().size();
    ASSERT_TRUE(WriteFileAtomically(dir.file("config/vext/games.conf"),
                                    "title *puzzle* = ../../Puzzle.vks\n")
                    .ok());
    ASSERT_TRUE(vextd.WaitForLog("games.conf: 1 rule,", kWaitMs, nFrom)) << vextd.Log();
    EXPECT_EQ(Click(), "32+ 32-");
    const std::string status =
        test::RunForOutput({VEXTD_PATH, "--status", "--socket", vextd.strSocket});
    EXPECT_NE(status.find("key set in play: \"Shooter\" (rule 2: class STEAM_APP_244210)"),
              std::string::npos);
    // The configurator has the focus: the game's window is what the status can still name.
    EXPECT_NE(status.find("\nlast window of another program: \""), std::string::npos) << status;
    EXPECT_NE(status.find("\"Shooter\" (class \"steam_app_244210\""), std::string::npos) << status;
#ifdef VEXTKEY_EXE
    // Unload silences the pads, game key sets too, until the next download.
    const std::vector<std::string> env{"VEXT_DEVICE=" + vextd.strSocket,
                                       "VEXT_REGISTRY=" + dir.file("registry.sqlite"),
                                       "QT_QPA_PLATFORM=offscreen"};
    const size_t nRecords = vextd.Records().size();
    test::RunForOutput({VEXTKEY_EXE, "-ul"}, env);
    ASSERT_TRUE(vextd.WaitForLog("key set in play: none (unloaded; game key sets resume at the "
                                 "next download)",
                                 kWaitMs, nFrom))
        << vextd.Log();
    Focus(puzzle, "focus: window");
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.Press(1, 0, false));
    EXPECT_EQ(vextd.RecordText(nRecords), "");
    const size_t nLog = vextd.Log().size();
    ASSERT_TRUE(test::WriteRecord(dir.file("registry.sqlite"), "Default", {test::NormalKey(kF)},
                                  {{MakeButtonId(1, 0, 1, kInputButton), 0}}));
    ASSERT_TRUE(vextd.Control(VEXT_IOCTL_ENABLE));
    ASSERT_TRUE(vextd.WaitForLog("key set in play: \"Puzzle\"", kWaitMs, nLog)) << vextd.Log();
    EXPECT_EQ(Click(), "33+ 33-");
#endif
    EXPECT_EQ(vextd.Stop(SIGTERM), 0) << vextd.Log();
}

TEST_F(GameSwitchEndToEndTest, StepPositionsStayWithTheirKeySetAndFilesAreReadAgain) {
    // Focus changes in quick succession, as a window manager makes them: the last one counts,
    // also when it comes while the driver reads the one before.
    for (const auto& [window, name] :
         {std::pair{puzzle, "Puzzle"}, std::pair{plain, "Default"}, std::pair{racing, "Racing"},
          std::pair{shooter, "Shooter"}}) {
        ASSERT_TRUE(wm.Activate(window == racing ? puzzle : racing));
        ASSERT_TRUE(wm.Activate(0));
        Focus(window, std::string("key set in play: \"") + name + "\"");
    }
    EXPECT_EQ(Click(1), "17+ 17-"); // Q
    EXPECT_EQ(Click(1), "18+ 18-"); // W
    Focus(racing, "key set in play: \"Racing\"");
    Focus(shooter, "key set in play: \"Shooter\"");
    EXPECT_EQ(Click(1), "19+ 19-") << "E: the Step function went on where it was";

    // A key set changed on disk plays its new keys; games.conf changed is read without a
    // restart, and a rule whose key set cannot be read leaves the default playing.
    const size_t nFrom = vextd.Log().size();
    WriteConfig("title Term* = Missing.vks\n");
    ASSERT_TRUE(vextd.WaitForLog("games.conf: 4 rules", kWaitMs, nFrom)) << vextd.Log();
    test::WriteKeySet(dir.file("Puzzle.vks"), "G");
    Focus(puzzle, "key set in play: \"Puzzle\"");
    EXPECT_EQ(Click(), "35+ 35-");
    // So does the key set in play, at once, its held key let go first: replaced as a save
    // replaces it, or written in place.
    const size_t nHeld = vextd.Records().size();
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.WaitForRecords(nHeld + 1, kWaitMs));
    size_t nLog = vextd.Log().size();
    test::WriteKeySet(dir.file("Puzzle.vks"), "J");
    ASSERT_TRUE(vextd.WaitForLog("key set in play read again: \"Puzzle\"", kWaitMs, nLog));
    EXPECT_EQ(vextd.RecordText(nHeld), "35+ 35-");
    ASSERT_TRUE(vextd.Press(1, 0, false));
    EXPECT_EQ(Click(), "37+ 37-");
    // Another size: a write within the same clock tick as the save before leaves the same time.
    test::WriteKeySet(dir.file("Other.vks"), "K", {"A"});
    nLog = vextd.Log().size();
    std::filesystem::copy_file(dir.file("Other.vks"), dir.file("Puzzle.vks"),
                               std::filesystem::copy_options::overwrite_existing);
    ASSERT_TRUE(vextd.WaitForLog("key set in play read again: \"Puzzle\"", kWaitMs, nLog));
    EXPECT_EQ(Click(), "38+ 38-");
    Focus(plain, "key set in play: \"Default\" (default; rule 4's key set cannot be read: " +
                     dir.file("config/vext/Missing.vks") + ": no such file)");
    EXPECT_EQ(Click(), "34+ 34-");

    const std::string status =
        test::RunForOutput({VEXTD_PATH, "--status", "--socket", vextd.strSocket});
    EXPECT_NE(status.find("\nkey set in play: \"Default\" (default; rule 4's"), std::string::npos)
        << status;
    EXPECT_NE(status.find("\nfocus: X11\n"), std::string::npos) << status;
    EXPECT_EQ(vextd.Stop(SIGTERM), 0) << vextd.Log();
}

} // namespace
} // namespace vext

#endif
