// vextd's log on a file starts anew past its bound, the one before kept, and no line of it is
// longer than its bound: a client flipping the focus between windows of 4 KB titles.

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
    for (int i = 0; i < 40; ++i) {
        LogInfo("focus: window \"" + std::string(4096, 't') + "\"");
    }
    RotateLogAt({}, 0);
    ::dup2(nSaved, STDERR_FILENO);
    ::close(nSaved);
    EXPECT_GT(std::filesystem::file_size(path + ".1"), kBound);
    for (const std::string& file : {path, path + ".1"}) {
        EXPECT_LE(std::filesystem::file_size(file), kBound + kMaxLogLineBytes + 100) << file;
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".2"));
}

} // namespace
} // namespace vext
