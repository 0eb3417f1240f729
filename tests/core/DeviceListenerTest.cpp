#include "core/driver/DeviceListener.h"

#include "TempDir.h"
#include "core/driver/DeviceProtocol.h"
#include "core/driver/DeviceSocket.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

DeviceDeadline Soon() {
    return DeviceClock::now() + 5s;
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode;
}

Bytes Le32(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

// One exchange driven from a single thread: the client's bytes wait in the socket while the
// listener accepts and serves, then the client reads what came back.
struct Exchange {
    bool bServed = false;
    bool bHandlerCalled = false;
    DeviceRequest request;
    Bytes answer;
};

Exchange ServeOne(DeviceListener& listener, const Bytes& sent, const DeviceHandler& handler,
                  bool bCloseAfterSending = false) {
    Exchange result;
    const int client = ConnectUnixSocket(listener.Path(), Soon());
    EXPECT_GE(client, 0);
    EXPECT_TRUE(SendAll(client, sent, Soon()));
    if (bCloseAfterSending) {
        ::shutdown(client, SHUT_WR);
    }
    const int server = listener.Accept();
    EXPECT_GE(server, 0);
    result.bServed = ServeDeviceConnection(
        server,
        [&](const DeviceRequest& r) {
            result.bHandlerCalled = true;
            return handler(r);
        },
        Soon(), &result.request);
    CloseFd(server);
    EXPECT_TRUE(ReceiveToEnd(client, 1024, &result.answer, Soon()));
    CloseFd(client);
    return result;
}

TEST(DeviceListener, MakesAPrivateDirectoryAndSocket) {
    test::TempDir dir;
    const std::string sub = dir.file("vext");
    const std::string path = sub + "/device";
    DeviceListener listener;
    ASSERT_TRUE(listener.Listen(path));
    EXPECT_TRUE(S_ISDIR(ModeOf(sub)));
    EXPECT_EQ(ModeOf(sub) & 0777, 0700u);
    EXPECT_TRUE(S_ISSOCK(ModeOf(path)));
    EXPECT_EQ(ModeOf(path) & 0777, 0600u);

    listener.Close();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(DeviceListener, RefusesADirectoryOthersCanEnter) {
    test::TempDir dir;
    const std::string sub = dir.file("open");
    ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(sub.c_str(), 0755), 0);
    DeviceListener listener;
    EXPECT_FALSE(listener.Listen(sub + "/device"));
    EXPECT_FALSE(listener.IsListening());
}

TEST(DeviceListener, RefusesASymlinkedDirectory) {
    test::TempDir dir;
    const std::string real = dir.file("real");
    const std::string link = dir.file("link");
    ASSERT_EQ(::mkdir(real.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    DeviceListener listener;
    EXPECT_FALSE(listener.Listen(link + "/device"));
}

TEST(DeviceListener, LeavesAnOrdinaryFileAlone) {
    test::TempDir dir;
    const std::string path = dir.file("device");
    std::ofstream(path) << "keep me";
    DeviceListener listener;
    EXPECT_FALSE(listener.Listen(path));
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

TEST(DeviceListener, DoesNotStealALiveSocketButReplacesAStaleOne) {
    test::TempDir dir;
    const std::string path = dir.file("device");
    {
        DeviceListener first;
        ASSERT_TRUE(first.Listen(path));
        DeviceListener second;
        EXPECT_FALSE(second.Listen(path));
        EXPECT_TRUE(first.IsListening());
    }
    // A driver that died without cleaning up leaves its socket behind.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    socklen_t nLength = 0;
    ASSERT_TRUE(MakeUnixAddress(path, &address, &nLength));
    ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&address), nLength), 0);
    CloseFd(stale);
    ASSERT_TRUE(std::filesystem::exists(path));

    DeviceListener next;
    EXPECT_TRUE(next.Listen(path));
}

TEST(DeviceListener, CloseKeepsASuccessorsSocket) {
    test::TempDir dir;
    const std::string path = dir.file("device");
    DeviceListener old;
    ASSERT_TRUE(old.Listen(path));
    ASSERT_EQ(::unlink(path.c_str()), 0);
    DeviceListener successor;
    ASSERT_TRUE(successor.Listen(path));
    old.Close();
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(DeviceListener, AcceptWithNothingWaitingReturnsAtOnce) {
    test::TempDir dir;
    DeviceListener listener;
    ASSERT_TRUE(listener.Listen(dir.file("device")));
    EXPECT_EQ(listener.Accept(), -1);
}

TEST(ServeDeviceConnection, PassesTheRequestAndSendsTheAnswer) {
    test::TempDir dir;
    DeviceListener listener;
    ASSERT_TRUE(listener.Listen(dir.file("device")));
    Bytes sent;
    ASSERT_TRUE(EncodeDeviceRequest(29, Le32(3), &sent));
    const Exchange e = ServeOne(listener, sent, [](const DeviceRequest& r) {
        return DeviceAnswer{true, r.buffer};
    });
    EXPECT_TRUE(e.bServed);
    EXPECT_EQ(e.request.nCode, 29u);
    EXPECT_EQ(e.request.buffer, Le32(3));
    Bytes expected = Le32(1);
    for (const Bytes& part : {Le32(4), Le32(3)}) {
        expected.insert(expected.end(), part.begin(), part.end());
    }
    EXPECT_EQ(e.answer, expected);
}

TEST(ServeDeviceConnection, RefusesAnOversizedRequestUnread) {
    test::TempDir dir;
    DeviceListener listener;
    ASSERT_TRUE(listener.Listen(dir.file("device")));
    Bytes sent = Le32(16);
    const Bytes size = Le32(kDeviceMaxBuffer + 1);
    sent.insert(sent.end(), size.begin(), size.end());
    const Exchange e = ServeOne(listener, sent, [](const DeviceRequest&) {
        return DeviceAnswer{true, {}};
    });
    EXPECT_TRUE(e.bServed);
    EXPECT_FALSE(e.bHandlerCalled);
    EXPECT_EQ(e.request.nCode, 16u);
    EXPECT_EQ(e.answer, Bytes(8, 0));
}

TEST(ServeDeviceConnection, AnswerThatDoesNotFitBecomesARefusal) {
    test::TempDir dir;
    DeviceListener listener;
    ASSERT_TRUE(listener.Listen(dir.file("device")));
    Bytes sent;
    ASSERT_TRUE(EncodeDeviceRequest(20, {}, &sent));
    const Exchange e = ServeOne(listener, sent, [](const DeviceRequest&) {
        return DeviceAnswer{true, {1, 2, 3, 4}};
    });
    EXPECT_TRUE(e.bHandlerCalled);
    EXPECT_EQ(e.answer, Bytes(8, 0));
}

TEST(ServeDeviceConnection, TruncatedRequestIsDroppedUnanswered) {
    test::TempDir dir;
    DeviceListener listener;
    ASSERT_TRUE(listener.Listen(dir.file("device")));
    Bytes sent = Le32(29);
    const Bytes size = Le32(4);
    sent.insert(sent.end(), size.begin(), size.end());
    sent.push_back(1); // three bytes of the buffer never come
    const Exchange e = ServeOne(
        listener, sent,
        [](const DeviceRequest&) {
            return DeviceAnswer{true, {}};
        },
        true);
    EXPECT_FALSE(e.bServed);
    EXPECT_FALSE(e.bHandlerCalled);
    EXPECT_TRUE(e.answer.empty());
}

TEST(DeviceSocket, ReceiveToEndRefusesMoreThanItsLimit) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    EXPECT_TRUE(PeerIsSameUser(fds[0]));
    const Bytes sent(10, 7);
    ASSERT_TRUE(SendAll(fds[1], sent, Soon()));
    ::shutdown(fds[1], SHUT_WR);
    Bytes got;
    EXPECT_FALSE(ReceiveToEnd(fds[0], 9, &got, Soon()));
    CloseFd(fds[0]);
    CloseFd(fds[1]);

    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    ASSERT_TRUE(SendAll(fds[1], sent, Soon()));
    ::shutdown(fds[1], SHUT_WR);
    EXPECT_TRUE(ReceiveToEnd(fds[0], 10, &got, Soon()));
    EXPECT_EQ(got, sent);
    CloseFd(fds[0]);
    CloseFd(fds[1]);
}

TEST(DeviceSocket, WaitEndsAtTheDeadline) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    Bytes got(1);
    // Already past: nothing to read, so the read must give up rather than block.
    EXPECT_FALSE(ReceiveExact(fds[0], got, DeviceClock::now()));
    CloseFd(fds[0]);
    CloseFd(fds[1]);
}

} // namespace
} // namespace vext
