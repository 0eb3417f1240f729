// The whole road: vextkey -ld writes a key-set file's record and tells the running vextd to
// reload, and the pad then plays it.

#ifdef VEXTKEY_EXE

#include "RecordWriter.h"
#include "TempDir.h"
#include "VextdProcess.h"

#include <csignal>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vext {
namespace {

int RunVextkey(const std::string& file, const std::string& registry, const std::string& socket) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("VEXT_REGISTRY", registry.c_str(), 1);
        ::setenv("VEXT_DEVICE", socket.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(VEXTKEY_EXE, "vextkey", "-ld", file.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int nStatus = 0;
    return pid > 0 && ::waitpid(pid, &nStatus, 0) == pid && WIFEXITED(nStatus)
               ? WEXITSTATUS(nStatus)
               : -1;
}

TEST(VextkeyDownloadTest, DownloadedKeySetPlaysOnThePad) {
    test::TempDir dir;
    const std::string registry = dir.file("registry.sqlite");
    test::VextdProcess vextd;
    vextd.strSocket = dir.file("run/device");
    vextd.strRecord = dir.file("keys.log");
    ASSERT_TRUE(
        vextd.Start({"--foreground", "--socket", vextd.strSocket, "--registry", registry,
                     "--output", "record:" + vextd.strRecord, "--test-virtual-pads", "12,12"},
                    {"VEXTD_ALLOW_ROOT=1"}))
        << vextd.Log();
    // Button 0 of pad 1 is "Cycle": Step with Loop over "A", "{F1}", "AB".
    ASSERT_EQ(RunVextkey(std::string(VEXT_TEST_DATA_DIR) + "/keyset/golden.vks", registry,
                         vextd.strSocket),
              0);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(vextd.Press(1, 0, true));
        ASSERT_TRUE(vextd.Press(1, 0, false));
    }
    EXPECT_EQ(vextd.RecordText(), "31+ 31- 112+ 112- 31+ 31- 50+ 50- 31+ 31-");
    EXPECT_NE(vextd.Log().find("3 functions, 4 mappings"), std::string::npos) << vextd.Log();
    EXPECT_EQ(vextd.Stop(SIGTERM), 0);
}

// Everything vextkey --status prints.
std::string StatusOf(const std::string& registry, const std::string& socket) {
    return test::OutputOf("VEXT_REGISTRY='" + registry + "' VEXT_DEVICE='" + socket +
                          "' " VEXTKEY_EXE " --status");
}

size_t LinesStartingWith(const std::string& text, const std::string& start) {
    size_t nCount = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        nCount += line.rfind(start, 0) == 0 || line.find("vextd: " + start) == 0 ? 1 : 0;
    }
    return nCount;
}

TEST(VextkeyDownloadTest, NamesCannotForgeLinesOfStatusOrLog) {
    test::TempDir dir;
    const std::string registry = dir.file("registry.sqlite");
    ASSERT_TRUE(
        test::WriteRecord(registry, "Game\nslot 1: Corvel Pad\x1b[31m", {test::NormalKey(31)}, {}));
    test::VextdProcess vextd;
    vextd.strSocket = dir.file("run/device");
    vextd.strRecord = dir.file("keys.log");
    ASSERT_TRUE(vextd.Start({"--foreground", "--socket", vextd.strSocket, "--registry", registry,
                             "--output", "record:" + vextd.strRecord, "--test-virtual-pads", "1"},
                            {"VEXTD_ALLOW_ROOT=1"}))
        << vextd.Log();
    const std::string status = StatusOf(registry, vextd.strSocket);
    EXPECT_EQ(LinesStartingWith(status, "slot 1:"), 1u) << status;
    EXPECT_NE(status.find(R"(key set: "Game\nslot 1: Corvel Pad\e[31m")"), std::string::npos)
        << status;
    const std::string log = vextd.Log();
    EXPECT_EQ(LinesStartingWith(log, "slot 1:"), 0u) << log;
    for (const std::string& text : {status, log}) {
        EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    }
    EXPECT_EQ(vextd.Stop(SIGTERM), 0);
}

} // namespace
} // namespace vext

#endif
