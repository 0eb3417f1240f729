// The client believes only a driver run by its own user: an answer from a socket at its path
// that another user serves is no driver at all.

#include "ScopedEnv.h"
#include "TempDir.h"
#include "core/driver/DeviceChannel.h"
#include "core/driver/DeviceListener.h"
#include "core/driver/DeviceSocket.h"

#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vext {
namespace {

constexpr uid_t kNobody = 65534;

// Serves one version request at path from a child process, as nobody when bOtherUser (with
// root's file access, so that only the peer's identity differs). Returns the child's pid once
// it listens, or -1.
pid_t ServeVersionInChild(const std::string& path, bool bOtherUser) {
    int ready[2];
    if (::pipe(ready) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        if (bOtherUser && ::seteuid(kNobody) != 0) {
            ::_exit(3);
        }
        ::setfsuid(0);
        sockaddr_un address{};
        socklen_t nLength = 0;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (!MakeUnixAddress(path, &address, &nLength) ||
            ::bind(fd, reinterpret_cast<sockaddr*>(&address), nLength) != 0 ||
            ::listen(fd, 1) != 0 || ::write(ready[1], "r", 1) != 1) {
            ::_exit(2);
        }
        pollfd p{fd, POLLIN, 0};
        const int client = ::poll(&p, 1, 5000) == 1 ? ::accept(fd, nullptr, nullptr) : -1;
        ServeDeviceConnection(
            client,
            [](const DeviceRequest&) {
                return DeviceAnswer{true, {0x00, 0x02, 0x00, 0x00}};
            },
            DeviceClock::now() + std::chrono::seconds(2));
        ::_exit(0);
    }
    ::close(ready[1]);
    char c = 0;
    const bool bReady = pid > 0 && ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
    return bReady ? pid : -1;
}

class DeviceChannelPeerTest : public testing::TestWithParam<bool> {};

TEST_P(DeviceChannelPeerTest, OnlyADriverOfTheSameUserIsBelieved) {
    if (::geteuid() != 0) {
        // CI runs as root: there this must run, not pass unseen.
        ASSERT_EQ(std::getenv("CI"), nullptr) << "needs root to act as another user";
        GTEST_SKIP() << "needs root to act as another user";
    }
    const bool bOtherUser = GetParam();
    test::TempDir dir;
    const std::string path = dir.file("device");
    test::ScopedEnv env("VEXT_DEVICE", path);
    const pid_t pid = ServeVersionInChild(path, bOtherUser);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(GetDriverVersion(), bOtherUser ? 0 : 0x200);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

INSTANTIATE_TEST_SUITE_P(Peer, DeviceChannelPeerTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "OtherUser" : "SameUser";
                         });

} // namespace
} // namespace vext
