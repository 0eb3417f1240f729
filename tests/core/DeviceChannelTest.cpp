#include "core/driver/DeviceChannel.h"

#include "FakeDeviceServer.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "core/driver/DeviceSocket.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

using test::FakeDeviceServer;
using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

Bytes Le32(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

constexpr int32_t kUntouched = 0x5A5A5A5A;

// A query whose buffer and size must come back exactly as they went in.
void ExpectQueryFailsUntouched(int nCode) {
    int32_t nValue = kUntouched;
    uint32_t nSize = sizeof(nValue);
    EXPECT_EQ(DeviceQuery(nCode, &nValue, &nSize), 0);
    EXPECT_EQ(nValue, kUntouched);
    EXPECT_EQ(nSize, sizeof(nValue));
}

// --- Version ------------------------------------------------------------------------------

struct VersionCase {
    uint32_t nAnswer;
    int nExpected;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << std::hex << "0x" << c.nAnswer;
}

class DriverVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(DriverVersion, IsMaskedAndGatedAtTwoPointZero) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    server.SetVersion(GetParam().nAnswer);

    EXPECT_EQ(GetDriverVersion(), GetParam().nExpected);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].nCode, 16u);
    EXPECT_EQ(requests[0].buffer, Bytes(4, 0));
}

INSTANTIATE_TEST_SUITE_P(Answers, DriverVersion,
                         testing::Values(VersionCase{0x1234, 0x234}, VersionCase{0x1FF, 0},
                                         VersionCase{0x200, 0x200}, VersionCase{0xFFF, 0xFFF},
                                         VersionCase{0, 0}, VersionCase{0x10200, 0x200},
                                         VersionCase{0xFFFFF1FF, 0}));

TEST(DriverVersionFailures, RefusedOrShortVersionMeansNoDriver) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    server.SetVersion(0x300);
    server.SetRefused(VEXT_IOCTL_GET_VERSION, true);
    EXPECT_EQ(GetDriverVersion(), 0);

    // Two bytes that would read 0x300 are still no answer to a 4-byte question.
    server.SetRawAnswer(Concat({Le32(1), Le32(2), {0x00, 0x03}}));
    EXPECT_EQ(GetDriverVersion(), 0);
}

// --- Driver absent ------------------------------------------------------------------------

TEST(DeviceAbsent, NoSocketFailsEveryCallAndTouchesNothing) {
    test::TempDir dir;
    test::ScopedEnv env("VEXT_DEVICE", dir.file("device"));

    EXPECT_EQ(DeviceControl(VEXT_IOCTL_DISABLE), 0);
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_APP_ACTIVE), 0);
    ExpectQueryFailsUntouched(VEXT_IOCTL_QUERY_ENABLED);
    ExpectQueryFailsUntouched(VEXT_IOCTL_GET_PAD_TYPE);
    EXPECT_EQ(GetDriverVersion(), 0);
}

TEST(DeviceAbsent, SocketNobodyListensOnRefuses) {
    test::TempDir dir;
    const std::string path = dir.file("device");
    test::ScopedEnv env("VEXT_DEVICE", path);
    // Bound but never listening: the kernel refuses every connection.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    socklen_t nLength = 0;
    ASSERT_TRUE(MakeUnixAddress(path, &address, &nLength));
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), nLength), 0);

    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 0);
    ExpectQueryFailsUntouched(VEXT_IOCTL_QUERY_ENABLED);
    EXPECT_EQ(GetDriverVersion(), 0);
    ::close(fd);
}

TEST(DeviceAbsent, DriverThatWentAwayIsAbsent) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    EXPECT_EQ(GetDriverVersion(), 0x200);
    server.Stop();
    EXPECT_EQ(GetDriverVersion(), 0);
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 0);
    ExpectQueryFailsUntouched(VEXT_IOCTL_QUERY_ENABLED);
}

TEST(DeviceAbsent, PathTooLongForASocketIsAbsent) {
    test::ScopedEnv env("VEXT_DEVICE", "/tmp/" + std::string(200, 'x'));
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 0);
    ExpectQueryFailsUntouched(VEXT_IOCTL_QUERY_ENABLED);
}

// --- Pad types and control codes ----------------------------------------------------------

TEST(DeviceQuery, PadTypeCarriesTheSlotInTheBuffer) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    server.SetPadTypeAnswer(1, 0); // cannot tell: the caller takes its default
    server.SetPadTypeAnswer(2, 2); // pad type 1
    server.SetPadTypeAnswer(3, 1);
    server.SetPadTypeAnswer(4, 2);

    const std::array<int32_t, 4> expected{0, 2, 1, 2};
    for (int32_t nSlot = 1; nSlot <= 4; ++nSlot) {
        int32_t nValue = nSlot;
        uint32_t nSize = sizeof(nValue);
        ASSERT_EQ(DeviceQuery(VEXT_IOCTL_GET_PAD_TYPE, &nValue, &nSize), 1) << nSlot;
        EXPECT_EQ(nValue, expected[static_cast<size_t>(nSlot - 1)]) << nSlot;
        EXPECT_EQ(nSize, 4u);
    }

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(requests[i].nCode, 29u);
        EXPECT_EQ(requests[i].buffer, Le32(i + 1));
    }
}

TEST(DeviceControl, SendsTheCodeWithNoBuffer) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    const std::array<int, 4> codes{VEXT_IOCTL_APP_ACTIVE, VEXT_IOCTL_APP_INACTIVE,
                                   VEXT_IOCTL_DISABLE, VEXT_IOCTL_ENABLE};
    for (const int nCode : codes) {
        EXPECT_EQ(DeviceControl(nCode), 1) << nCode;
    }
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), codes.size());
    for (size_t i = 0; i < codes.size(); ++i) {
        EXPECT_EQ(requests[i].nCode, static_cast<uint32_t>(codes[i]));
        EXPECT_TRUE(requests[i].buffer.empty());
    }
}

TEST(DeviceControl, DisableAndEnableShowInTheEnabledQuery) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    int32_t nEnabled = 0;
    uint32_t nSize = sizeof(nEnabled);

    ASSERT_EQ(DeviceControl(VEXT_IOCTL_DISABLE), 1);
    ASSERT_EQ(DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nEnabled, &nSize), 1);
    EXPECT_EQ(nEnabled, 0);

    ASSERT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 1);
    nEnabled = 0;
    ASSERT_EQ(DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nEnabled, &nSize), 1);
    EXPECT_NE(nEnabled, 0);
}

TEST(DeviceControl, RefusedCodeFails) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    EXPECT_EQ(DeviceControl(99), 0);
    server.SetRefused(VEXT_IOCTL_ENABLE, true);
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 0);
    server.SetRefused(VEXT_IOCTL_QUERY_ENABLED, true);
    ExpectQueryFailsUntouched(VEXT_IOCTL_QUERY_ENABLED);
    EXPECT_EQ(server.RequestCount(), 3u);
}

TEST(DeviceQuery, ShorterAnswerFillsOnlyItsBytes) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    server.SetRawAnswer(Concat({Le32(1), Le32(2), {0xAB, 0xCD}}));
    std::array<uint8_t, 4> buffer{1, 2, 3, 4};
    uint32_t nSize = buffer.size();
    ASSERT_EQ(DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, buffer.data(), &nSize), 1);
    EXPECT_EQ(nSize, 2u);
    EXPECT_EQ(buffer, (std::array<uint8_t, 4>{0xAB, 0xCD, 3, 4}));
}

TEST(DeviceQuery, BadArgumentsSendNothing) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    int32_t nValue = kUntouched;
    EXPECT_EQ(DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nValue, nullptr), 0);
    uint32_t nSize = 4;
    EXPECT_EQ(DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, nullptr, &nSize), 0);
    EXPECT_EQ(nSize, 4u);
    std::vector<uint8_t> large(kDeviceMaxBuffer + 1, 0x11);
    nSize = static_cast<uint32_t>(large.size());
    EXPECT_EQ(DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, large.data(), &nSize), 0);
    EXPECT_EQ(large, std::vector<uint8_t>(kDeviceMaxBuffer + 1, 0x11));
    EXPECT_EQ(DeviceControl(-1), 0);
    EXPECT_EQ(nValue, kUntouched);
    EXPECT_EQ(server.RequestCount(), 0u);
}

// --- A driver that misbehaves -------------------------------------------------------------

struct MisbehaviourCase {
    std::string name;
    FakeDeviceServer::Mode mode;
    Bytes raw;
};

void PrintTo(const MisbehaviourCase& c, std::ostream* os) {
    *os << c.name;
}

class MisbehavingDriver : public testing::TestWithParam<MisbehaviourCase> {};

TEST_P(MisbehavingDriver, IsAFailedCallThatTouchesNothing) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    if (GetParam().mode == FakeDeviceServer::Mode::kRawBytes) {
        server.SetRawAnswer(GetParam().raw);
    } else {
        server.SetMode(GetParam().mode);
    }

    ExpectQueryFailsUntouched(VEXT_IOCTL_QUERY_ENABLED);
    EXPECT_EQ(GetDriverVersion(), 0);
    // The request did reach the driver: the failure is in the answer. One that went unanswered
    // keeps further queries away for a while.
    EXPECT_TRUE(
        server.WaitForRequests(GetParam().mode == FakeDeviceServer::Mode::kSilent ? 1 : 2, 5s));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MisbehavingDriver,
    testing::Values(
        MisbehaviourCase{"Silent", FakeDeviceServer::Mode::kSilent, {}},
        MisbehaviourCase{"ClosesWithoutAnswer", FakeDeviceServer::Mode::kCloseWithoutAnswer, {}},
        MisbehaviourCase{"Garbage",
                         FakeDeviceServer::Mode::kRawBytes,
                         {'n', 'o', 't', ' ', 'a', 'n', ' ', 'a', 'n', 's', 'w', 'e', 'r'}},
        MisbehaviourCase{"HalfHeader", FakeDeviceServer::Mode::kRawBytes, {1, 0, 0, 0, 4}},
        MisbehaviourCase{"ShortAnswer", FakeDeviceServer::Mode::kRawBytes,
                         Concat({Le32(1), Le32(4), {0x00, 0x02}})},
        MisbehaviourCase{"MoreBytesThanTheBuffer", FakeDeviceServer::Mode::kRawBytes,
                         Concat({Le32(1), Le32(8), Bytes(8, 0x02)})},
        MisbehaviourCase{"UnknownStatus", FakeDeviceServer::Mode::kRawBytes,
                         Concat({Le32(7), Le32(4), {0x00, 0x02, 0, 0}})},
        MisbehaviourCase{"TrailingBytes", FakeDeviceServer::Mode::kRawBytes,
                         Concat({Le32(1), Le32(4), {0x00, 0x02, 0, 0}, {0xFF}})},
        MisbehaviourCase{"Flood", FakeDeviceServer::Mode::kRawBytes, Bytes(4096, 0x01)}),
    [](const testing::TestParamInfo<MisbehaviourCase>& info) { return info.param.name; });

TEST(MisbehavingDriver, ControlCodeAnsweredWithBytesFails) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    server.SetRawAnswer(Concat({Le32(1), Le32(4), Bytes(4, 1)}));
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 0);
}

TEST(DeviceChannel, EveryCallIsItsOwnConnection) {
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    server.SetMode(FakeDeviceServer::Mode::kCloseWithoutAnswer);
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 0);
    // The driver coming back to its senses is seen by the very next call.
    server.SetMode(FakeDeviceServer::Mode::kAnswer);
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 1);
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST(DeviceChannel, ASilentDriverIsNotQueriedForAWhile) {
    auto now = std::chrono::steady_clock::now();
    SetDeviceBackOffClock([&now] { return now; });
    struct RealClockAgain {
        ~RealClockAgain() { SetDeviceBackOffClock({}); }
    } realClockAgain;
    FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());

    for (const bool bControlEnds : {false, true}) {
        const size_t nAsked = server.RequestCount() + 1;
        server.SetMode(FakeDeviceServer::Mode::kSilent);
        EXPECT_EQ(GetDriverVersion(), 0); // waits out the timeout once
        ASSERT_TRUE(server.WaitForRequests(nAsked, 5s));
        server.SetMode(FakeDeviceServer::Mode::kAnswer);
        now += 2900ms;
        EXPECT_EQ(GetDriverVersion(), 0);
        ExpectQueryFailsUntouched(VEXT_IOCTL_QUERY_ENABLED);
        EXPECT_EQ(server.RequestCount(), nAsked);
        // A control is still sent, and an answer ends the back-off; else time does.
        if (bControlEnds) {
            EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 1);
        } else {
            now += 200ms;
        }
        EXPECT_EQ(GetDriverVersion(), 0x200);
    }
}

// --- Where the socket is ------------------------------------------------------------------

struct PathCase {
    std::string name;
    std::optional<std::string> device;
    std::optional<std::string> runtime;
    std::string expected; // empty: the per-user fallback in /tmp
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.name;
}

class DevicePath : public testing::TestWithParam<PathCase> {};

TEST_P(DevicePath, FollowsTheEnvironment) {
    test::ScopedEnv device("VEXT_DEVICE", GetParam().device);
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", GetParam().runtime);
    const std::string fallback = "/tmp/vext-" + std::to_string(::getuid()) + "/device";
    EXPECT_EQ(DeviceSocketPath(), GetParam().expected.empty() ? fallback : GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, DevicePath,
    testing::Values(PathCase{"DeviceWins", "/srv/x/dev.sock", "/run/user/7", "/srv/x/dev.sock"},
                    PathCase{"DeviceAlone", "/srv/x/dev.sock", std::nullopt, "/srv/x/dev.sock"},
                    PathCase{"EmptyDeviceIsUnset", "", "/run/user/7", "/run/user/7/vext/device"},
                    PathCase{"RuntimeDir", std::nullopt, "/run/user/7", "/run/user/7/vext/device"},
                    PathCase{"NothingSet", std::nullopt, std::nullopt, ""},
                    PathCase{"EmptyRuntimeDir", std::nullopt, "", ""},
                    PathCase{"RelativeRuntimeDirIgnored", std::nullopt, "run/user/7", ""}),
    [](const testing::TestParamInfo<PathCase>& info) { return info.param.name; });

TEST(FakeDeviceServerEnv, PointsTheChannelAtItselfAndRestoresAfter) {
    test::ScopedEnv before("VEXT_DEVICE", "/before/device");
    {
        FakeDeviceServer server;
        ASSERT_TRUE(server.IsRunning());
        EXPECT_EQ(DeviceSocketPath(), server.Path());
    }
    EXPECT_EQ(DeviceSocketPath(), "/before/device");
}

} // namespace
} // namespace vext
