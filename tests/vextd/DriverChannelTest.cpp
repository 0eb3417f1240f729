// The device channel as vextd serves it: the server loop with the driver's handler, asked
// through the configurator's own client and through raw sockets for what a client never sends.

#include "FakeKeyOutput.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "core/driver/DeviceChannel.h"
#include "core/driver/DeviceSocket.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/model/ButtonId.h"
#include "vextd/service/DeviceServer.h"
#include "vextd/service/DriverService.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kNobody = 65534;
const uint32_t kB0 = MakeButtonId(1, 0, 1, kInputButton);

std::vector<uint8_t> Frame(uint32_t nCode, uint32_t nSize, std::vector<uint8_t> body = {}) {
    std::vector<uint8_t> out(8);
    for (int i = 0; i < 4; ++i) {
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(nCode >> (8 * i));
        out[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(nSize >> (8 * i));
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> Answer(int32_t nStatus, std::vector<uint8_t> data = {}) {
    return Frame(static_cast<uint32_t>(nStatus), static_cast<uint32_t>(data.size()), data);
}

class DriverChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto loader = [this] {
            {
                std::unique_lock<std::mutex> lock(gateMutex);
                bLoadStarted = true;
                gateChanged.notify_all();
                gateChanged.wait(lock, [this] { return bGateOpen; });
            }
            ++nLoads;
            RecordLoad load;
            load.bFound = true;
            if (bStoreBusy) {
                load.problem = RecordProblem::kBusy;
                load.strProblem = "database is locked";
                load.pTable = std::make_shared<const KeySetTable>();
                return load;
            }
            std::vector<DriverFunction> functions(1);
            functions[0].strings.push_back({{0x1F}, {0x9F}});
            load.pTable = std::make_shared<const KeySetTable>(
                "set", functions, std::vector<std::pair<uint32_t, int>>{{kB0, 0}});
            return load;
        };
        PadTypeRule rule;
        std::vector<std::string> warnings;
        rule.Parse("Tiny Corvel = corvel\n", &warnings);
        pService = std::make_unique<DriverService>(&output, 50'000'000, loader, rule);
        std::string error;
        ASSERT_TRUE(server.Start(
            path,
            [this](const DeviceRequest& r, DeviceReply reply) {
                pService->HandleAsync(r, std::move(reply));
            },
            &error))
            << error;
    }
    void TearDown() override {
        SetGate(true);
        server.Stop();
    }

    // Closed, every load waits before it reads, as one of a very large record would.
    void SetGate(bool bOpen) {
        {
            const std::lock_guard<std::mutex> lock(gateMutex);
            bGateOpen = bOpen;
        }
        gateChanged.notify_all();
    }

    // Sends raw bytes on one connection and returns everything answered until the close.
    std::vector<uint8_t> Raw(const std::vector<uint8_t>& request) {
        const auto deadline = DeviceClock::now() + 2s;
        const int fd = ConnectUnixSocket(path, deadline);
        EXPECT_GE(fd, 0);
        std::vector<uint8_t> answer;
        if (fd >= 0) {
            EXPECT_TRUE(SendAll(fd, request, deadline));
            ReceiveToEnd(fd, 1024, &answer, deadline);
            CloseFd(fd);
        }
        return answer;
    }

    test::TempDir dir;
    std::string path = dir.file("vext/device");
    test::ScopedEnv env{"VEXT_DEVICE", path};
    test::FakeKeyOutput output;
    std::atomic<int> nLoads{0};
    std::atomic<bool> bStoreBusy{false};
    std::mutex gateMutex;
    std::condition_variable gateChanged;
    bool bGateOpen = true;
    bool bLoadStarted = false;
    std::unique_ptr<DriverService> pService;
    DeviceServer server;
};

TEST_F(DriverChannelTest, SocketIsPrivate) {
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(dir.file("vext").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

// The table in play stays while the store is busy, and the driver tries again by itself.
TEST_F(DriverChannelTest, ABusyStoreKeepsTheTableInPlay) {
    pService->Enable();
    bStoreBusy = true;
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 1);
    DriverLoadStatus status;
    ASSERT_TRUE(QueryDriverLoadStatus(&status));
    EXPECT_EQ(status.reason, DriverLoadReason::kStoreBusy);
    EXPECT_EQ(status.state, DriverLoadState::kLoaded);
    EXPECT_EQ(status.nFunctions, 1);
    output.Take();
    pService->InputDown(kB0, 0);
    pService->InputUp(kB0, 0);
    EXPECT_EQ(output.Take(), "+1F -1F") << "the key set loaded before plays on";

    const int nBusyLoads = nLoads;
    bStoreBusy = false;
    // The retry comes on its own, a second by the driver's clock after the busy load.
    pService->Tick(1'000'000'000);
    EXPECT_EQ(nLoads, nBusyLoads) << "not yet";
    pService->Tick(1'000'000'000 + DriverService::Nanos{999'000'000});
    EXPECT_EQ(nLoads, nBusyLoads) << "not yet";
    pService->Tick(2'000'000'000);
    std::promise<void> retried;
    pService->AfterPendingLoads([&retried] { retried.set_value(); });
    ASSERT_EQ(retried.get_future().wait_for(10s), std::future_status::ready);
    ASSERT_TRUE(QueryDriverLoadStatus(&status));
    EXPECT_EQ(status.reason, DriverLoadReason::kNone);
    EXPECT_GT(nLoads, nBusyLoads);
}

TEST_F(DriverChannelTest, VersionIs200) {
    EXPECT_EQ(GetDriverVersion(), 0x200);
    EXPECT_EQ(Raw(Frame(16, 4, {0, 0, 0, 0})), Answer(1, {0x00, 0x02, 0, 0}));
}

TEST_F(DriverChannelTest, EnableLoadsTheRecordAndDisableReleases) {
    int32_t nEnabled = -1;
    uint32_t nSize = 4;
    // Until enabled nothing is loaded, and the engine starts enabled with an empty set.
    ASSERT_EQ(DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nEnabled, &nSize), 1);
    EXPECT_EQ(nEnabled, 1);
    EXPECT_EQ(nLoads, 0);

    EXPECT_EQ(DeviceControl(VEXT_IOCTL_DISABLE), 1);
    nSize = 4;
    ASSERT_EQ(DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nEnabled, &nSize), 1);
    EXPECT_EQ(nEnabled, 0);

    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 1);
    EXPECT_EQ(nLoads, 1);
    nSize = 4;
    ASSERT_EQ(DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nEnabled, &nSize), 1);
    EXPECT_EQ(nEnabled, 1);

    pService->InputDown(kB0, 0);
    EXPECT_EQ(output.Take(), "+1F");
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_DISABLE), 1);
    EXPECT_EQ(output.Take(), "-1F"); // released at once, not when the button comes up
    pService->InputUp(kB0, 0);
    EXPECT_EQ(output.Take(), "");

    // Enabling again reloads, and a held key is released by the reload.
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 1);
    pService->InputDown(kB0, 0);
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_ENABLE), 1);
    EXPECT_EQ(nLoads, 3);
    EXPECT_EQ(output.Take(), "+1F -1F");
}

TEST_F(DriverChannelTest, ActivationIsRecordedOnly) {
    EXPECT_FALSE(pService->IsAppActive());
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_APP_ACTIVE), 1);
    EXPECT_TRUE(pService->IsAppActive());
    EXPECT_EQ(DeviceControl(VEXT_IOCTL_APP_INACTIVE), 1);
    EXPECT_FALSE(pService->IsAppActive());
    EXPECT_EQ(nLoads, 0);
    EXPECT_TRUE(pService->IsEnabled());
}

TEST_F(DriverChannelTest, PadTypePerSlot) {
    const PadInfo big{"Big Pad", 12, {}, {}, false, {}};
    const PadInfo small{"Small Pad", 6, {}, {}, false, {}};
    const PadInfo named{"tiny corvel", 4, {}, {}, false, {}};
    pService->SetPad(1, &big);
    pService->SetPad(2, &small);
    pService->SetPad(4, &named);
    struct Case {
        int32_t nSlot;
        int32_t nExpected;
    };
    for (const Case c :
         {Case{1, 2}, Case{2, 1}, Case{3, 0}, Case{4, 2}, Case{0, 0}, Case{5, 0}, Case{-1, 0}}) {
        int32_t nValue = c.nSlot;
        uint32_t nSize = 4;
        ASSERT_EQ(DeviceQuery(VEXT_IOCTL_GET_PAD_TYPE, &nValue, &nSize), 1);
        EXPECT_EQ(nSize, 4u);
        EXPECT_EQ(nValue, c.nExpected) << "slot " << c.nSlot;
    }
    pService->SetPad(1, nullptr);
    int32_t nValue = 1;
    uint32_t nSize = 4;
    ASSERT_EQ(DeviceQuery(VEXT_IOCTL_GET_PAD_TYPE, &nValue, &nSize), 1);
    EXPECT_EQ(nValue, 0);
    // A pad read by position is a Twin-Stick Pad, whatever its button count.
    const PadInfo modern{"Modern Pad", 11, {}, {}, true, "Xbox 360 Controller"};
    pService->SetPad(3, &modern);
    nValue = 3;
    ASSERT_EQ(DeviceQuery(VEXT_IOCTL_GET_PAD_TYPE, &nValue, &nSize), 1);
    EXPECT_EQ(nValue, 3);
    EXPECT_EQ(pService->SlotDescriptions()[2],
              "Twin-Stick Pad (Xbox 360 Controller, game controller)");
    EXPECT_EQ(pService->SlotDescriptions()[1],
              "Standard Vext Pad (Small Pad, joystick: 6 buttons)");
}

TEST_F(DriverChannelTest, BadSizesAndUnknownCodesAreRefused) {
    const std::vector<uint8_t> refused = Answer(0);
    EXPECT_EQ(Raw(Frame(16, 0)), refused);               // no room for the version
    EXPECT_EQ(Raw(Frame(22, 2, {0, 0})), refused);       // nor for the state
    EXPECT_EQ(Raw(Frame(29, 3, {1, 0, 0})), refused);    // nor for the pad type
    EXPECT_EQ(Raw(Frame(23, 4, {0, 0, 0, 0})), refused); // a buffer where none belongs
    EXPECT_EQ(Raw(Frame(24, 1, {0})), refused);
    EXPECT_EQ(Raw(Frame(20, 4, {0, 0, 0, 0})), refused);
    EXPECT_EQ(Raw(Frame(99, 0)), refused);
    EXPECT_EQ(Raw(Frame(30, 127, std::vector<uint8_t>(127, 0))), refused); // live state: 128
    EXPECT_EQ(Raw(Frame(16, kDeviceMaxBuffer + 1)), refused); // oversized: refused unread
    EXPECT_EQ(Raw(Frame(16, 0xFFFFFFFF)), refused);
    EXPECT_EQ(nLoads, 0);
    EXPECT_TRUE(pService->IsEnabled());
    // A larger buffer than needed is fine: the answer fills its front.
    EXPECT_EQ(Raw(Frame(16, 8, std::vector<uint8_t>(8, 0xEE))), Answer(1, {0x00, 0x02, 0, 0}));
}

TEST_F(DriverChannelTest, TruncatedRequestGetsNoAnswer) {
    EXPECT_TRUE(Raw({0x10, 0, 0}).empty());
    EXPECT_TRUE(Raw(Frame(16, 4, {0, 0})).empty());
}

TEST_F(DriverChannelTest, SilentClientsDoNotBlockOthers) {
    const auto deadline = DeviceClock::now() + 5s;
    std::vector<int> silent;
    // Every place taken by a client that never sends (one sent half a header): the oldest
    // makes room, so each query below is answered within the configurator's own deadline.
    for (size_t i = 0; i < DeviceServer::kMaxConnections; ++i) {
        silent.push_back(ConnectUnixSocket(path, deadline));
        ASSERT_GE(silent.back(), 0);
    }
    ASSERT_TRUE(SendAll(silent[1], std::vector<uint8_t>{0x10, 0}, deadline));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(GetDriverVersion(), 0x200) << i;
    }

    // Every silent one is let go without an answer (one that sent bytes may see a reset).
    for (const int fd : silent) {
        std::vector<uint8_t> answer;
        const bool bClosed = ReceiveToEnd(fd, 64, &answer, deadline) || errno == ECONNRESET;
        EXPECT_TRUE(bClosed) << std::strerror(errno);
        EXPECT_TRUE(answer.empty());
        CloseFd(fd);
    }
}

// A slow load runs off the serving thread: queries are answered meanwhile, the reload is
// answered once its record is in, and the load status waits for it rather than telling of the
// load before.
TEST_F(DriverChannelTest, QueriesAreAnsweredDuringALoadAndTheStatusWaitsForIt) {
    SetGate(false);
    std::atomic<int> nEnabled{-1};
    std::thread reload([&] { nEnabled = DeviceControl(VEXT_IOCTL_ENABLE); });
    {
        std::unique_lock<std::mutex> lock(gateMutex);
        gateChanged.wait(lock, [this] { return bLoadStarted; });
    }
    DriverLoadStatus status;
    bool bStatus = false;
    std::thread ask([&] { bStatus = QueryDriverLoadStatus(&status); });
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(GetDriverVersion(), 0x200);
    }
    int32_t nQuery = -1;
    uint32_t nSize = 4;
    EXPECT_EQ(DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nQuery, &nSize), 1);
    EXPECT_EQ(nLoads, 0);
    EXPECT_NE(nEnabled, 1) << "answered before its load was in";
    SetGate(true);
    reload.join();
    ask.join();
    EXPECT_EQ(nLoads, 1);
    ASSERT_TRUE(bStatus);
    EXPECT_EQ(status.state, DriverLoadState::kLoaded);
    EXPECT_EQ(status.nFunctions, 1);
    EXPECT_EQ(status.nMappings, 1);
}

// Runs fn in a forked child and returns its exit status (or -1).
template <typename Fn>
int InChild(Fn fn) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(fn());
    }
    int nStatus = 0;
    if (pid < 0 || ::waitpid(pid, &nStatus, 0) != pid || !WIFEXITED(nStatus)) {
        return -1;
    }
    return WEXITSTATUS(nStatus);
}

// Connects to path and sends a version request; 0 when an answer came, 1 when the connection
// was closed unanswered, 2 when it could not connect, 3 on other failures.
int AskVersionRaw(const char* pPath) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, pPath, sizeof address.sun_path - 1);
    if (fd < 0) {
        return 3;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return 2;
    }
    const uint8_t request[12] = {16, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0};
    if (::send(fd, request, sizeof request, MSG_NOSIGNAL) != sizeof request) {
        return 1; // already closed by the server
    }
    uint8_t answer[16];
    const ssize_t n = ::recv(fd, answer, sizeof answer, 0);
    return n > 0 ? 0 : 1;
}

TEST_F(DriverChannelTest, PeerOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        // CI runs as root: there this must run, not pass unseen.
        ASSERT_EQ(std::getenv("CI"), nullptr) << "needs root to act as another user";
        GTEST_SKIP() << "needs root to act as another user";
    }
    const std::string socketPath = path;
    // Reaches the socket with root's file access but connects as nobody: only the peer check
    // stands in the way.
    const int nPeer = InChild([&] {
        if (::seteuid(kNobody) != 0) {
            return 3;
        }
        ::setfsuid(0);
        return AskVersionRaw(socketPath.c_str());
    });
    EXPECT_EQ(nPeer, 1);
    // A plain other user cannot even reach it through the closed folder.
    const int nOther = InChild([&] {
        if (::setuid(kNobody) != 0) {
            return 3;
        }
        return AskVersionRaw(socketPath.c_str());
    });
    EXPECT_EQ(nOther, 2);
    // The same test as this user is answered, so the refusals above are the peer's doing.
    EXPECT_EQ(InChild([&] { return AskVersionRaw(socketPath.c_str()); }), 0);
}

} // namespace
} // namespace vext
