// vextd as a process: virtual pads pressed through the test codes, keys read back from the
// record output, the key set written into a real registry store.

#include "GameTestFiles.h"
#include "RecordWriter.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "VextdProcess.h"
#include "core/driver/DeviceChannel.h"
#include "core/driver/DeviceCodes.h"
#include "core/driver/DeviceProtocol.h"
#include "core/driver/DeviceSocket.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/driver/PadStates.h"
#include "core/model/ButtonId.h"
#include "core/pad/PadPositions.h"
#include "core/pad/PadTypes.h"
#include "core/platform/AtomicFile.h"
#include "vextd/service/DriverService.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace vext {
namespace {

constexpr uint8_t kA = 31;
constexpr uint8_t kS = 32;
constexpr uint8_t kD = 33;
constexpr uint8_t kLeftArrow = 79;
constexpr uint8_t kUpArrow = 83;
constexpr int kWaitMs = 5000;

uint32_t Button(int nSlot, int nButton) {
    return MakeButtonId(nSlot, nButton, 1, kInputButton);
}

class VextdEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        vextd.strSocket = dir.file("run/device");
        vextd.strRecord = dir.file("keys.log");
    }

    bool Start(const std::string& pads = "12,8", int nRepeatMs = 50,
               const std::vector<std::string>& extra = {},
               const std::vector<std::string>& env = {}) {
        return StartProcess(vextd, pads, nRepeatMs, extra, env);
    }

    bool StartProcess(test::VextdProcess& process, const std::string& pads = "12,8",
                      int nRepeatMs = 50, const std::vector<std::string>& extra = {},
                      const std::vector<std::string>& env = {}) {
        std::vector<std::string> args{"--foreground",
                                      "--socket",
                                      process.strSocket,
                                      "--registry",
                                      registry,
                                      "--output",
                                      "record:" + process.strRecord,
                                      "--repeat-ms",
                                      std::to_string(nRepeatMs),
                                      "--pad-config",
                                      dir.file("pads.conf"),
                                      "--test-virtual-pads",
                                      pads};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<std::string> environment{"VEXTD_ALLOW_ROOT=1", "SDL_VIDEODRIVER=dummy"};
        environment.insert(environment.end(), env.begin(), env.end());
        return process.Start(args, environment);
    }

    // What the driver says of its last load (code 31).
    std::optional<DriverLoadStatus> LoadStatus() {
        const auto bytes = vextd.Request(VEXT_IOCTL_GET_LOAD_STATUS, {0, 0, 0, 0});
        DriverLoadStatus status;
        if (!bytes || !DecodeLoadStatus(*bytes, &status)) {
            return std::nullopt;
        }
        return status;
    }

    // A standard set: button 0 of slot 1 types A, button 1 types S; slot 2's button 0 a Step
    // function over A, S, D (no Loop) with its companion on button 1; the X axis low end of
    // slot 1 the left arrow, the Y axis low end the up arrow.
    bool WriteStandardSet(bool bLoop = false) {
        return test::WriteRecord(registry, "Standard",
                                 {test::NormalKey(kA), test::NormalKey(kS),
                                  test::StepKeys({kA, kS, kD}, bLoop, 3), test::CompanionOf(2),
                                  test::NormalKey(kLeftArrow), test::NormalKey(kUpArrow)},
                                 {{Button(1, 0), 0},
                                  {Button(1, 1), 1},
                                  {Button(2, 0), 2},
                                  {Button(2, 1), 3},
                                  {MakeButtonId(1, 0, 0, kInputDirection), 4},
                                  {MakeButtonId(1, 1, 2, kInputDirection), 5}});
    }

    // Presses and releases a button; false when a request failed.
    bool Click(int nSlot, int nButton) {
        return vextd.Press(nSlot, nButton, true) && vextd.Press(nSlot, nButton, false);
    }

    test::TempDir dir;
    std::string registry = dir.file("registry.sqlite");
    test::VextdProcess vextd;
};

TEST_F(VextdEndToEndTest, NormalFunctionTypesOnPressAndRelease) {
    ASSERT_TRUE(WriteStandardSet());
    ASSERT_TRUE(Start()) << vextd.Log();
    ASSERT_TRUE(vextd.Press(1, 0, true));
    EXPECT_EQ(vextd.RecordText(), "31+");
    ASSERT_TRUE(vextd.Press(1, 0, false));
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    // An unmapped button types nothing.
    ASSERT_TRUE(Click(1, 5));
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    EXPECT_EQ(vextd.Stop(SIGTERM), 0);
}

TEST_F(VextdEndToEndTest, StepWithoutLoopStaysOnLastAndStepDownWalksBack) {
    ASSERT_TRUE(WriteStandardSet(false));
    ASSERT_TRUE(Start());
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(Click(2, 0));
    }
    ASSERT_TRUE(Click(2, 1));
    ASSERT_TRUE(Click(2, 1));
    ASSERT_TRUE(Click(2, 1));
    EXPECT_EQ(vextd.RecordText(), "31+ 31- 32+ 32- 33+ 33- 33+ 33- 32+ 32- 31+ 31- 31+ 31-");
}

TEST_F(VextdEndToEndTest, StepWithLoopWraps) {
    ASSERT_TRUE(WriteStandardSet(true));
    ASSERT_TRUE(Start());
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(Click(2, 0));
    }
    ASSERT_TRUE(Click(2, 1));
    ASSERT_TRUE(Click(2, 1));
    EXPECT_EQ(vextd.RecordText(), "31+ 31- 32+ 32- 33+ 33- 31+ 31- 33+ 33- 32+ 32-");
}

TEST_F(VextdEndToEndTest, DirectionsBeyondTwentyPercent) {
    ASSERT_TRUE(WriteStandardSet());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(vextd.Axis(1, 0, -19662)); // just inside the middle 60 %
    EXPECT_EQ(vextd.RecordText(), "");
    ASSERT_TRUE(vextd.Axis(1, 0, -32768));
    ASSERT_TRUE(vextd.Axis(1, 1, -32768));
    ASSERT_TRUE(vextd.Axis(1, 0, 0));
    ASSERT_TRUE(vextd.Axis(1, 1, 0));
    EXPECT_EQ(vextd.RecordText(), "79+ 83+ 79- 83-");
}

TEST_F(VextdEndToEndTest, AutoRepeatReplaysWhileHeld) {
    test::RecordFunction repeating = test::NormalKey(kD, true);
    ASSERT_TRUE(test::WriteRecord(registry, "Repeat", {repeating}, {{Button(1, 0), 0}}));
    ASSERT_TRUE(Start("1", 20, {"--repeat-delay-ms", "100"}));
    ASSERT_TRUE(vextd.Press(1, 0, true));
    // Down, then (up, down) per replay: three replays.
    ASSERT_TRUE(vextd.WaitForRecords(7, kWaitMs)) << vextd.RecordText();
    ASSERT_TRUE(vextd.Press(1, 0, false));
    const std::vector<test::KeyRecord> records = vextd.Records();
    ASSERT_GE(records.size(), 8u);
    EXPECT_EQ(vextd.RecordText().substr(0, 15), "33+ 33- 33+ 33-");
    EXPECT_FALSE(records.back().bDown);
    // Replay n comes no sooner than the delay and n - 1 intervals after the press.
    for (size_t i = 2; i + 1 < records.size(); i += 2) {
        EXPECT_GE(records[i].nTime - records[0].nTime,
                  100'000'000 + static_cast<int64_t>(i / 2 - 1) * 20'000'000)
            << i;
    }
    // Released: nothing more comes.
    const size_t nDone = records.size();
    EXPECT_TRUE(vextd.Control(VEXT_IOCTL_APP_ACTIVE));
    EXPECT_EQ(vextd.Records().size(), nDone);
}

TEST_F(VextdEndToEndTest, TwoInputsAtOnce) {
    ASSERT_TRUE(WriteStandardSet());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.Press(1, 1, true));
    ASSERT_TRUE(vextd.Press(2, 0, true));
    ASSERT_TRUE(vextd.Press(1, 0, false));
    ASSERT_TRUE(vextd.Press(2, 0, false));
    ASSERT_TRUE(vextd.Press(1, 1, false));
    EXPECT_EQ(vextd.RecordText(), "31+ 32+ 31- 32-");
}

TEST_F(VextdEndToEndTest, DisableWhileHeldReleasesAtOnce) {
    ASSERT_TRUE(WriteStandardSet());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.Control(VEXT_IOCTL_DISABLE));
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_QUERY_ENABLED), 0);
    ASSERT_TRUE(vextd.Press(1, 0, false));
    ASSERT_TRUE(Click(1, 1)); // disabled: nothing
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    ASSERT_TRUE(vextd.Control(VEXT_IOCTL_ENABLE));
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_QUERY_ENABLED), 1);
    ASSERT_TRUE(Click(1, 1));
    EXPECT_EQ(vextd.RecordText(), "31+ 31- 32+ 32-");
}

TEST_F(VextdEndToEndTest, UnplugWhileHeldReleases) {
    ASSERT_TRUE(WriteStandardSet());
    ASSERT_TRUE(Start());
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_PAD_TYPE, 1), 2); // 12 buttons: Corvel Pad
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.Press(1, 1, true));
    ASSERT_TRUE(vextd.Press(2, 0, true));
    ASSERT_TRUE(vextd.Unplug(1));
    // A stays down: slot 2's Step function holds it too.
    EXPECT_EQ(vextd.RecordText(), "31+ 32+ 32-");
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_PAD_TYPE, 1), 0);
    // The other pad keeps its slot and its held input.
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_PAD_TYPE, 2), 1);
    ASSERT_TRUE(vextd.Press(2, 0, false));
    EXPECT_EQ(vextd.RecordText(), "31+ 32+ 32- 31-");
}

TEST_F(VextdEndToEndTest, EnableReloadsTheRecord) {
    ASSERT_TRUE(WriteStandardSet());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(test::WriteRecord(registry, "Other", {test::NormalKey(kD)}, {{Button(1, 0), 0}}));
    ASSERT_TRUE(Click(1, 0)); // still the old set until told
    ASSERT_TRUE(vextd.Control(VEXT_IOCTL_DISABLE));
    ASSERT_TRUE(vextd.Control(VEXT_IOCTL_ENABLE));
    ASSERT_TRUE(Click(1, 0));
    ASSERT_TRUE(Click(1, 1)); // no longer mapped
    EXPECT_EQ(vextd.RecordText(), "31+ 31- 33+ 33-");
    EXPECT_NE(vextd.Log().find("loaded key set \"Other\": 1 function, 1 mapping"),
              std::string::npos);
}

// A download that moves a weapon cycle elsewhere in the list, with its cookie and steps
// unchanged, keeps its position; the configurator reloads on every focus change.
TEST_F(VextdEndToEndTest, StepPositionSurvivesAReload) {
    test::RecordFunction cycle = test::StepKeys({kA, kS, kD}, false, 1);
    cycle.nCookie = 5;
    test::RecordFunction back = test::CompanionOf(0);
    back.nCookie = 6;
    ASSERT_TRUE(test::WriteRecord(registry, "One", {cycle, back}, {{Button(2, 0), 0}}));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Click(2, 0));
    ASSERT_TRUE(Click(2, 0));
    cycle.nLink = 2;
    back.nLink = 1;
    ASSERT_TRUE(test::WriteRecord(registry, "Two", {test::NormalKey(kLeftArrow), back, cycle},
                                  {{Button(2, 0), 2}}));
    ASSERT_TRUE(vextd.Control(VEXT_IOCTL_ENABLE));
    ASSERT_TRUE(Click(2, 0));
    EXPECT_EQ(vextd.RecordText(), "31+ 31- 32+ 32- 33+ 33-");
}

// Every key set the configurator can write loads, and the driver says what it made of it.
TEST_F(VextdEndToEndTest, LargeFunctionLoadsAndTheLoadStatusTells) {
    std::vector<uint8_t> steps(1001, kS);
    steps.front() = kA;
    ASSERT_TRUE(
        test::WriteRecord(registry, "Big", {test::StepKeys(steps, false, 0)}, {{Button(1, 0), 0}}));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Click(1, 0));
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    auto status = LoadStatus();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->state, DriverLoadState::kLoaded);
    EXPECT_EQ(status->nFunctions, 1);

    std::ofstream(registry, std::ios::trunc) << "not a database";
    ASSERT_TRUE(vextd.Control(VEXT_IOCTL_ENABLE));
    status = LoadStatus();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->state, DriverLoadState::kRefused);
    EXPECT_EQ(status->reason, DriverLoadReason::kStoreUnreadable);
    // And so does vextd --status, in words and in its exit status.
    const std::string command =
        std::string(VEXTD_PATH) + " --status --socket '" + vextd.strSocket + "' 2>&1";
    FILE* pPipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pPipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pPipe) != nullptr) {
        output += buffer;
    }
    const int nStatus = ::pclose(pPipe);
    EXPECT_NE(output.find("refused the key set: it cannot read its registry store"),
              std::string::npos)
        << output;
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 1) << nStatus;
}

// A tap is held for the minimum hold, seen in the record's own timestamps.
TEST_F(VextdEndToEndTest, MinimumHoldKeepsATapDown) {
    test::RecordFunction tap;
    tap.strings.push_back({{kA, static_cast<uint8_t>(kA | 0x80)}, {}});
    ASSERT_TRUE(test::WriteRecord(registry, "Tap", {tap}, {{Button(1, 0), 0}}));
    ASSERT_TRUE(Start("12,8", 50, {"--min-hold-ms", "30"}));
    ASSERT_TRUE(Click(1, 0));
    ASSERT_TRUE(vextd.WaitForRecords(2, kWaitMs)) << vextd.RecordText();
    const auto records = vextd.Records();
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    EXPECT_GE(records[1].nTime - records[0].nTime, 30'000'000);
}

// While a reload is held up, the channel keeps answering; the reload completes afterwards.
TEST_F(VextdEndToEndTest, QueriesAreAnsweredDuringAReload) {
    ASSERT_TRUE(WriteStandardSet());
    ASSERT_TRUE(Start());
    ASSERT_EQ(vextd.Query(kTestHoldLoads, 1), 0);
    std::thread reload([this] { vextd.Control(VEXT_IOCTL_ENABLE); });
    // Until the reload is asked for (a request each time, no waiting on a clock).
    std::optional<int32_t> nPending = 0;
    for (int i = 0; i < 1000 && nPending == 0; ++i) {
        nPending = vextd.Query(kTestHoldLoads, 1);
    }
    EXPECT_EQ(nPending, 1);
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_VERSION), 0x200);
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_QUERY_ENABLED), 1);
    EXPECT_TRUE(vextd.Query(kTestHoldLoads, 0));
    reload.join();
    const auto status = LoadStatus();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->nFunctions, 6);
}

// A rule's key set is read off the loop: while its read waits, the pads play on and a button's
// release is played at once.
TEST_F(VextdEndToEndTest, PadsPlayWhileARulesKeySetIsRead) {
    ASSERT_TRUE(WriteStandardSet());
    const std::string big = dir.file("Big.vks");
    test::WriteKeySet(big, "G");
    std::filesystem::create_directories(dir.file("config/vext"));
    ASSERT_TRUE(
        WriteFileAtomically(dir.file("config/vext/games.conf"), "class big = " + big + "\n").ok());
    ASSERT_TRUE(Start("12", 50, {"--verbose"}, {"XDG_CONFIG_HOME=" + dir.file("config")}))
        << vextd.Log();
    ASSERT_TRUE(vextd.WaitForLog("game key set read: " + big, kWaitMs)) << vextd.Log();
    ASSERT_EQ(vextd.Query(kTestHoldLoads, 1), 0);
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.WaitForRecords(1, kWaitMs));
    const size_t nLog = vextd.Log().size();
    test::WriteKeySet(big, "H");
    ASSERT_TRUE(vextd.WaitForLog("waits to be read", kWaitMs, nLog)) << vextd.Log();
    ASSERT_TRUE(vextd.Press(1, 0, false));
    ASSERT_TRUE(vextd.WaitForRecords(2, kWaitMs));
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    EXPECT_EQ(vextd.Log().find("game key set read", nLog), std::string::npos);
    EXPECT_TRUE(vextd.Query(kTestHoldLoads, 0));
    EXPECT_TRUE(vextd.WaitForLog("game key set read: " + big, kWaitMs, nLog)) << vextd.Log();
}

// A flood of reloads that must wait cannot take every place of the channel: the ones beyond
// the few that may wait are answered at once, and other questions still get through.
TEST_F(VextdEndToEndTest, AFloodOfWaitingLoadsLeavesTheChannelOpen) {
    ASSERT_TRUE(WriteStandardSet());
    ASSERT_TRUE(Start());
    ASSERT_EQ(vextd.Query(kTestHoldLoads, 1), 0);
    std::vector<uint8_t> request;
    ASSERT_TRUE(EncodeDeviceRequest(VEXT_IOCTL_ENABLE, {}, &request));
    std::vector<int> waiting;
    for (int i = 0; i < 70; ++i) {
        const auto deadline = DeviceClock::now() + std::chrono::seconds(2);
        const int fd = ConnectUnixSocket(vextd.strSocket, deadline);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(SendAll(fd, request, deadline));
        waiting.push_back(fd);
    }
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_VERSION), 0x200);
    // The ones answered within one shared deadline.
    const auto answered = [&waiting](std::chrono::milliseconds within) {
        const auto deadline = DeviceClock::now() + within;
        size_t nAnswered = 0;
        for (int& fd : waiting) {
            std::vector<uint8_t> answer;
            if (fd >= 0 && ReceiveToEnd(fd, 64, &answer, deadline) && !answer.empty()) {
                ++nAnswered;
                CloseFd(std::exchange(fd, -1));
            }
        }
        return nAnswered;
    };
    EXPECT_EQ(answered(std::chrono::milliseconds(1000)), 70 - DriverService::kMaxWaiting);
    EXPECT_TRUE(vextd.Query(kTestHoldLoads, 0));
    EXPECT_EQ(answered(std::chrono::milliseconds(5000)), DriverService::kMaxWaiting);
}

// A store that another program holds is reported as busy, not as damaged, and the record is
// loaded by itself once the store is free.
TEST_F(VextdEndToEndTest, ABusyStoreIsReportedAndLoadedOnceFree) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(test::WriteRecord(registry, "Next", {test::NormalKey(kD)}, {{Button(1, 0), 0}}));
    sqlite3* pDb = nullptr;
    ASSERT_EQ(sqlite3_open(registry.c_str(), &pDb), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(pDb,
                           "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; "
                           "SELECT count(*) FROM sqlite_master;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_TRUE(vextd.Control(VEXT_IOCTL_ENABLE));
    const auto busy = LoadStatus();
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->reason, DriverLoadReason::kStoreBusy);
    EXPECT_NE(DescribeDriverLoadStatus(*busy).find("store busy"), std::string::npos);

    sqlite3_exec(pDb, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(pDb);
    ASSERT_TRUE(vextd.WaitForLog("free again", kWaitMs)) << vextd.Log();
    const auto free = LoadStatus();
    ASSERT_TRUE(free);
    EXPECT_EQ(free->reason, DriverLoadReason::kNone);
    EXPECT_EQ(free->state, DriverLoadState::kLoaded);
    ASSERT_TRUE(Click(1, 0));
    ASSERT_TRUE(vextd.WaitForRecords(2, kWaitMs));
    EXPECT_EQ(vextd.RecordText(), "33+ 33-");
}

TEST_F(VextdEndToEndTest, PadTypesAndOverride) {
    std::ofstream(dir.file("pads.conf")) << "# test\nVextKey Test Pad = standard\n";
    ASSERT_TRUE(Start("12,8"));
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_PAD_TYPE, 1), 1); // the override wins over 12 buttons
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_PAD_TYPE, 2), 1);
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_PAD_TYPE, 3), 0);
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_VERSION), 0x200);
}

// An SDL virtual game controller whose mapping counts as the user's is read by position: a
// Twin-Stick Pad with a trigger that holds between its thresholds, and the right stick, the
// D-pad and a paddle as inputs of their own. With a key set made for the Corvel Pad in its slot,
// it plays that picture's buttons by position, and the live state tells both.
TEST_F(VextdEndToEndTest, AGameControllerPlaysByPosition) {
    // Its raw buttons are SDL's controller buttons: A 0, X 2, Back 4, D-pad up 11, paddle 1 16;
    // its axes left X, left Y, right X, right Y, left trigger, right trigger.
    ASSERT_TRUE(test::WriteRecord(registry, "Twin",
                                  {test::NormalKey(kA), test::NormalKey(kS), test::NormalKey(kD),
                                   test::NormalKey(kLeftArrow), test::NormalKey(kUpArrow)},
                                  {{Button(1, kPosWest), 0},
                                   {Button(1, kPosLeftTrigger), 1},
                                   {MakeButtonId(1, 2, 0, kInputDirection), 2},
                                   {MakeButtonId(1, 5, 2, kInputDirection), 3},
                                   {Button(1, kPosPaddle1), 4}},
                                  {kPadTwinStick}));
    ASSERT_TRUE(Start("gc,12"));
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_PAD_TYPE, 1), kPadTwinStick + 1);
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_PAD_TYPE, 2), kPadCorvel + 1);
    ASSERT_TRUE(Click(1, 2));
    for (const int nTrigger : {20000, 14000, 20000, 12000}) { // 61 %, 43 %, 61 %, 37 %
        ASSERT_TRUE(vextd.Axis(1, 4, nTrigger));
    }
    ASSERT_TRUE(vextd.Axis(1, 2, -32768));
    ASSERT_TRUE(vextd.Axis(1, 2, 0));
    ASSERT_TRUE(Click(1, 11));
    ASSERT_TRUE(Click(1, 16));
    EXPECT_EQ(vextd.RecordText(), "31+ 31- 32+ 32- 33+ 33- 79+ 79- 83+ 83-");

    ASSERT_TRUE(test::WriteRecord(
        registry, "Corvel",
        {test::NormalKey(kA), test::NormalKey(kS), test::NormalKey(kD), test::NormalKey(kUpArrow)},
        {{Button(1, 3), 0}, // Blue, at the bottom
         {Button(1, 6), 1}, // Left 2
         {Button(1, 8), 2}, // Select
         {MakeButtonId(1, 1, 2, kInputDirection), 3}},
        {kPadCorvel}));
    ASSERT_TRUE(vextd.Control(VEXT_IOCTL_ENABLE));
    const size_t nBefore = vextd.Records().size();
    for (const int nButton : {0, 4, 11}) {
        ASSERT_TRUE(Click(1, nButton));
    }
    ASSERT_TRUE(vextd.Axis(1, 4, 32767));
    ASSERT_TRUE(vextd.Axis(1, 4, 0));

    ASSERT_TRUE(vextd.Press(1, 0, true));
    test::ScopedEnv device("VEXT_DEVICE", vextd.strSocket);
    PadStates states;
    PadPressesAll presses{};
    ASSERT_TRUE(QueryPadStates(&states, 5, &presses));
    EXPECT_TRUE(states[0].bPositional);
    EXPECT_EQ(states[0].positions.nButtons, 1u << kPosSouth);
    EXPECT_EQ(states[0].nButtons, 1u << 3) << "as the Corvel Pad numbers it";
    EXPECT_FALSE(states[1].bPositional);
    ASSERT_TRUE(vextd.Press(1, 0, false));
    // Guide, which the Corvel Pad has not (SDL lets its release go a moment late).
    ASSERT_TRUE(Click(1, 5));
    EXPECT_EQ(vextd.RecordText(nBefore), "31+ 31- 33+ 33- 83+ 83- 32+ 32- 31+ 31-");
}

TEST_F(VextdEndToEndTest, NoOrDamagedRecordPlaysNothingAndKeepsServing) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Click(1, 0));
    EXPECT_NE(vextd.Log().find("no key set downloaded"), std::string::npos);
    // A file that is no registry store at all.
    std::ofstream(registry) << "not a database";
    ASSERT_TRUE(vextd.Control(VEXT_IOCTL_ENABLE));
    ASSERT_TRUE(Click(1, 0));
    EXPECT_EQ(vextd.RecordText(), "");
    EXPECT_NE(vextd.Log().find("damaged"), std::string::npos);
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_VERSION), 0x200);
}

TEST_F(VextdEndToEndTest, SignalReleasesHeldKeysAndExits) {
    ASSERT_TRUE(WriteStandardSet());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(vextd.Press(1, 0, true));
    ASSERT_TRUE(vextd.Press(2, 0, true));
    EXPECT_EQ(vextd.Stop(SIGINT), 0);
    EXPECT_EQ(vextd.RecordText(), "31+ 31-");
    EXPECT_NE(vextd.Log().find("every key released"), std::string::npos);
    // The socket is gone with it.
    EXPECT_NE(::access(vextd.strSocket.c_str(), F_OK), 0);
}

TEST_F(VextdEndToEndTest, HangUpAndQuitAlsoReleaseHeldKeysAndRemoveTheSocket) {
    ASSERT_TRUE(WriteStandardSet());
    for (const int nSignal : {SIGHUP, SIGQUIT}) {
        test::VextdProcess process;
        process.strSocket = vextd.strSocket;
        process.strRecord = dir.file(std::string("keys-") + sigabbrev_np(nSignal));
        ASSERT_TRUE(StartProcess(process)) << process.Log();
        ASSERT_TRUE(process.Press(1, 0, true));
        ASSERT_TRUE(process.Press(1, 1, true));
        EXPECT_EQ(process.Stop(nSignal), 0) << sigabbrev_np(nSignal);
        EXPECT_EQ(process.RecordText(), "31+ 32+ 31- 32-") << sigabbrev_np(nSignal);
        EXPECT_NE(::access(process.strSocket.c_str(), F_OK), 0) << sigabbrev_np(nSignal);
    }
}

TEST_F(VextdEndToEndTest, HatGivesTheDirectionsAndTheLiveStateShowsThem) {
    ASSERT_TRUE(WriteStandardSet());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(vextd.Hat(1, 8)); // left
    ASSERT_TRUE(vextd.Press(1, 1, true));
    ASSERT_TRUE(vextd.Axis(2, 1, 32767)); // slot 2's stick down
    const std::optional<PadStates> states = vextd.LiveStates();
    ASSERT_TRUE(states.has_value());
    const PadState& pad1 = (*states)[0];
    const PadState& pad2 = (*states)[1];
    EXPECT_TRUE(pad1.bPresent && pad2.bPresent);
    EXPECT_FALSE((*states)[2].bPresent || (*states)[3].bPresent);
    EXPECT_EQ(pad1.nButtons, 2u);
    EXPECT_EQ(pad2.nButtons, 0u);
    // Beyond 20 % from the end, as the configurator's poller reads a direction.
    EXPECT_LT(pad1.nX - pad1.nXMin, (pad1.nXMax - pad1.nXMin) / 5);
    EXPECT_GT(pad2.nY - pad2.nYMin, (pad2.nYMax - pad2.nYMin) / 5 * 4);
    ASSERT_TRUE(vextd.Hat(1, 8 | 1)); // up joins
    ASSERT_TRUE(vextd.Hat(1, 0));
    ASSERT_TRUE(vextd.Press(1, 1, false));
    EXPECT_EQ(vextd.RecordText(), "79+ 32+ 83+ 79- 83- 32-");
    ASSERT_TRUE(vextd.Unplug(1));
    EXPECT_EQ(vextd.LiveStates().value_or(PadStates{})[0], PadState{});
}

// A tap between two polls of the configurator is kept for its next poll.
TEST_F(VextdEndToEndTest, TheLiveStateKeepsTapsBetweenPolls) {
    ASSERT_TRUE(Start("12,8"));
    test::ScopedEnv device("VEXT_DEVICE", vextd.strSocket);
    PadStates states;
    PadPressesAll presses{};
    ASSERT_TRUE(QueryPadStates(&states, 77, &presses));
    ASSERT_TRUE(Click(1, 3));
    ASSERT_TRUE(vextd.Axis(2, 1, -32768)); // up, and back
    ASSERT_TRUE(vextd.Axis(2, 1, 0));
    ASSERT_TRUE(QueryPadStates(&states, 77, &presses));
    EXPECT_EQ(states[0].nButtons, 0u);
    EXPECT_EQ(presses[0].nButtons, 1u << 3);
    EXPECT_EQ(presses[1].nDirections, 8u);
    ASSERT_TRUE(QueryPadStates(&states, 77, &presses));
    EXPECT_EQ(presses, PadPressesAll{});
    ASSERT_TRUE(QueryPadStates(&states)) << "a poll without a token, as older configurators ask";
}

TEST_F(VextdEndToEndTest, ReturningPadTakesItsSlotBack) {
    ASSERT_TRUE(Start("12,8"));
    ASSERT_TRUE(vextd.Unplug(1));
    ASSERT_TRUE(vextd.Unplug(2));
    EXPECT_EQ(vextd.Plug(8), 2); // its slot, though slot 1 is free
    EXPECT_EQ(vextd.Plug(6), 1); // a pad not seen before: the lowest free slot
    EXPECT_EQ(vextd.Plug(12), 3);
    const std::string log = vextd.Log();
    EXPECT_NE(log.find("pad in slot 2: \"VextKey Test Pad\", 8 buttons, 1 hat; GUID "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("(its slot before)"), std::string::npos);
    EXPECT_NE(log.find("(first free slot; its slot before, slot 1, is taken)"), std::string::npos);
}

TEST_F(VextdEndToEndTest, WithoutUinputOrDisplayTheErrorGivesTheCommands) {
    // The way out without uinput is the session's: XWayland's display in a Wayland session.
    std::string log;
    for (const auto& [session, display] :
         {std::pair{"x11", "or, in an X11 session, start vextd where DISPLAY is set."},
          std::pair{"wayland", "or start vextd where DISPLAY names XWayland's display"}}) {
        test::VextdProcess process;
        EXPECT_FALSE(process.Start({"--foreground", "--socket", vextd.strSocket},
                                   {"VEXTD_ALLOW_ROOT=1", "DISPLAY=", "WAYLAND_DISPLAY=",
                                    std::string("XDG_SESSION_TYPE=") + session,
                                    "VEXTD_UINPUT=" + dir.file("no-uinput")}));
        EXPECT_EQ(process.Wait(), 1);
        log = process.Log();
        EXPECT_NE(log.find(display), std::string::npos) << log;
    }
    EXPECT_NE(log.find("no keyboard output: cannot open " + dir.file("no-uinput")),
              std::string::npos)
        << log;
    // The rule the packaging ships, word for word, so the two cannot drift apart.
    std::ifstream rules(VEXT_SOURCE_DIR "/packaging/70-vextkey-uinput.rules");
    std::string rule;
    while (std::getline(rules, rule) && (rule.empty() || rule[0] == '#')) {
    }
    ASSERT_FALSE(rule.empty());
    for (const std::string& command : std::vector<std::string>{
             "sudo modprobe uinput\n", "echo '" + rule + "' | sudo tee /etc/udev/rules.d/",
             "sudo udevadm control --reload && sudo udevadm trigger\n", "log out and in"}) {
        EXPECT_NE(log.find(command), std::string::npos) << command;
    }
    // Never a group: "input" reads every keyboard.
    EXPECT_EQ(log.find("usermod"), std::string::npos) << log;
    EXPECT_EQ(rule.find("GROUP"), std::string::npos) << rule;
}

TEST_F(VextdEndToEndTest, APadConfigurationThatIsAFifoNeitherHangsNorBlocksTheStop) {
    ASSERT_EQ(::mkfifo(dir.file("pads.conf").c_str(), 0600), 0);
    ASSERT_TRUE(Start()) << vextd.Log();
    EXPECT_NE(vextd.Log().find("cannot read the pad configuration"), std::string::npos)
        << vextd.Log();
    EXPECT_EQ(vextd.Stop(SIGTERM), 0);
}

// Stops the driver serving at socket (found through its end of a connection) and waits for it.
bool StopServer(const std::string& socket) {
    const int fd = ConnectUnixSocket(socket, DeviceClock::now() + std::chrono::seconds(2));
    ucred peer{};
    socklen_t nSize = sizeof peer;
    const bool bKnown = fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &nSize) == 0;
    CloseFd(fd);
    // Not a child of the test: its end is waited for through a descriptor of the process.
    const int nPidFd = bKnown ? static_cast<int>(::syscall(SYS_pidfd_open, peer.pid, 0)) : -1;
    if (nPidFd < 0 || ::kill(peer.pid, SIGTERM) != 0) {
        CloseFd(nPidFd);
        return false;
    }
    pollfd ended{nPidFd, POLLIN, 0};
    const bool bEnded = ::poll(&ended, 1, 5000) == 1;
    CloseFd(nPidFd);
    return bEnded;
}

TEST_F(VextdEndToEndTest, InTheBackgroundItLetsGoOfTheCallersOutputAndLogsPrivately) {
    const std::string state = dir.file("state");
    const std::string log = state + "/vext/vextd.log";
    const std::string victim = dir.file("victim");
    std::ofstream(victim) << "keep";
    for (const bool bLinkPlanted : {false, true}) {
        if (bLinkPlanted) {
            ASSERT_EQ(::unlink(log.c_str()), 0);
            ASSERT_EQ(::symlink(victim.c_str(), log.c_str()), 0);
        }
        // Reading to the end returns only once the daemon has let go of the pipe.
        const std::string output = test::OutputOf(
            "VEXTD_ALLOW_ROOT=1 SDL_VIDEODRIVER=dummy XDG_STATE_HOME='" + state +
            "' " VEXTD_PATH " --socket '" + vextd.strSocket + "' --registry '" + registry +
            "' --output record:'" + vextd.strRecord + "' --test-virtual-pads 1 2>&1");
        EXPECT_NE(output.find("ready: serving"), std::string::npos) << output;
        EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_VERSION), 0x200) << "it runs on";
        ASSERT_TRUE(StopServer(vextd.strSocket));
        struct stat info {};
        ASSERT_EQ(::lstat(log.c_str(), &info), 0);
        if (bLinkPlanted) {
            EXPECT_TRUE(S_ISLNK(info.st_mode));
            EXPECT_NE(output.find("symbolic link"), std::string::npos) << output;
            std::ifstream in(victim);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
        } else {
            EXPECT_EQ(info.st_mode & 0777, 0600u);
            std::ifstream in(log);
            const std::string text(std::istreambuf_iterator<char>(in), {});
            EXPECT_NE(text.find("ready: serving"), std::string::npos) << text;
            EXPECT_NE(text.find("stopped"), std::string::npos) << text;
        }
    }
}

TEST_F(VextdEndToEndTest, TestCodesNeedTheTestOption) {
    ASSERT_TRUE(vextd.Start({"--foreground", "--socket", vextd.strSocket, "--registry", registry,
                             "--output", "record:" + vextd.strRecord},
                            {"VEXTD_ALLOW_ROOT=1", "SDL_VIDEODRIVER=dummy"}))
        << vextd.Log();
    EXPECT_FALSE(vextd.Press(1, 0, true));
    EXPECT_EQ(vextd.Query(VEXT_IOCTL_GET_PAD_TYPE, 1), 0);
}

TEST_F(VextdEndToEndTest, RefusesRootWithoutTheOverride) {
    if (::geteuid() != 0) {
        // CI runs as root: there this must run, not pass unseen.
        ASSERT_EQ(std::getenv("CI"), nullptr) << "runs as root only";
        GTEST_SKIP() << "runs as root only";
    }
    EXPECT_FALSE(vextd.Start(
        {"--foreground", "--socket", vextd.strSocket, "--output", "record:" + vextd.strRecord},
        {"VEXTD_ALLOW_ROOT=0"}));
    EXPECT_EQ(vextd.Wait(), 1);
    EXPECT_NE(vextd.Log().find("refusing to run as root"), std::string::npos);
}

TEST_F(VextdEndToEndTest, BadCommandLinesAndOutputs) {
    test::VextdProcess other;
    EXPECT_FALSE(other.Start({"--repeat-ms", "0"}));
    EXPECT_EQ(other.Wait(), 2);
    test::VextdProcess unknown;
    EXPECT_FALSE(unknown.Start({"--foreground", "--socket", vextd.strSocket, "--output", "beep"},
                               {"VEXTD_ALLOW_ROOT=1"}));
    EXPECT_EQ(unknown.Wait(), 1);
    EXPECT_NE(unknown.Log().find("unknown output"), std::string::npos);
    test::VextdProcess uinput;
    EXPECT_FALSE(uinput.Start({"--foreground", "--socket", vextd.strSocket, "--output", "uinput"},
                              {"VEXTD_ALLOW_ROOT=1", "VEXTD_UINPUT=" + dir.file("no-uinput")}));
    EXPECT_EQ(uinput.Wait(), 1);
    EXPECT_NE(uinput.Log().find("no-uinput"), std::string::npos);
    // A socket folder another user holds (as /tmp/vext-<uid> can be) is named with its owner.
    if (::geteuid() == 0) {
        const std::string squatted = dir.file("squatted");
        ASSERT_EQ(::mkdir(squatted.c_str(), 0700), 0);
        ASSERT_EQ(::chown(squatted.c_str(), 65534, 65534), 0);
        test::VextdProcess refused;
        EXPECT_FALSE(refused.Start({"--foreground", "--socket", squatted + "/device", "--output",
                                    "record:" + vextd.strRecord},
                                   {"VEXTD_ALLOW_ROOT=1"}));
        EXPECT_EQ(refused.Wait(), 1);
        EXPECT_NE(refused.Log().find("belongs to another user (uid 65534)"), std::string::npos)
            << refused.Log();
    }
}

} // namespace
} // namespace vext
