// vextd's log on a file: it starts anew past its bound, the one before kept, and a line of any
// length stays a line of bounded length.

#include "vextd/common/Log.h"

#include "TempDir.h"

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(Log, StartsAnewPastItsBoundAndCutsLongLines) {
    test::TempDir dir;
    const std::string path = dir.file("vextd.log");
    const int nSaved = ::dup(STDERR_FILENO);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
    constexpr std::size_t kBound = 10000;
    RotateLogAt(path, kBound);
    // A client that flips the focus between windows of 4 KB titles.
    const std::string title(4096, 't');
    for (int i = 0; i < 40; ++i) {
        LogInfo("focus: window \"" + title + "\"");
    }
    LogInfo("the last line");
    RotateLogAt({}, 0);
    ::dup2(nSaved, STDERR_FILENO);
    ::close(nSaved);

    const auto size = std::filesystem::file_size(path);
    EXPECT_LE(size, kBound + kMaxLogLineBytes + 100);
    EXPECT_GT(size, 0u);
    EXPECT_TRUE(std::filesystem::exists(path + ".1"));
    EXPECT_LE(std::filesystem::file_size(path + ".1"), kBound + kMaxLogLineBytes + 100);
    EXPECT_FALSE(std::filesystem::exists(path + ".2"));
}

} // namespace
} // namespace vext
