// The rules' key sets read off the driver's loop: why one cannot be read, one table for one
// file however it is spelled, and the bound on what is held together.

#include "vextd/games/GameKeySet.h"

#include "GameTestFiles.h"
#include "TempDir.h"
#include "vextd/games/GameKeySetReader.h"

#include <filesystem>
#include <poll.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(GameKeySetReader, ReadsAFileOnceBoundsWhatItHoldsAndSaysWhy) {
    test::TempDir dir;
    test::WriteKeySet(dir.file("a.vks"), "A");
    test::WriteKeySet(dir.file("b.vks"), "B");
    std::filesystem::create_directory(dir.file("ks"));
    std::filesystem::create_symlink("../a.vks", dir.file("ks/a.vks"));
    std::filesystem::create_symlink("loop.vks", dir.file("loop.vks"));
    const auto nSize = std::filesystem::file_size(dir.file("a.vks"));
    GameKeySetReader reader({}, nSize + nSize / 2);
    // Each path and what its read gives: the table of the first, or the problem's end.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a.vks", ""},
        {"./a.vks", ""},           // another spelling: the same table
        {"ks/a.vks", ""},          // a link of the same name: the same table
        {"b.vks", "MiB together"}, // past the bound
        {"missing.vks", ": no such file"},
        {"gone/missing.vks", ": no such file"},
        {"loop.vks", ": Too many levels of symbolic links"},
    };
    std::vector<KeySetRead> reads;
    for (const auto& [file, problem] : cases) {
        reader.Ask(dir.file(file));
    }
    pollfd p{reader.WaitFd(), POLLIN, 0};
    while (reads.size() < cases.size() && ::poll(&p, 1, 20000) == 1) {
        for (KeySetRead& read : reader.Take()) {
            reads.push_back(std::move(read));
        }
    }
    ASSERT_EQ(reads.size(), cases.size());
    ASSERT_NE(reads[0].pTable, nullptr) << reads[0].strProblem;
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [file, problem] = cases[i];
        EXPECT_EQ(reads[i].pTable, problem.empty() ? reads[0].pTable : nullptr) << file;
        EXPECT_TRUE(reads[i].strProblem.ends_with(problem)) << file << ": " << reads[i].strProblem;
    }
    // A key set that took its read asks for none again until its file changes.
    GameKeySet keySet(dir.file("loop.vks"));
    ASSERT_TRUE(keySet.NeedsRead());
    EXPECT_TRUE(keySet.Take(reads.back()));
    EXPECT_EQ(keySet.Problem(), dir.file("loop.vks") + ": Too many levels of symbolic links");
    EXPECT_FALSE(keySet.NeedsRead());
}

} // namespace
} // namespace vext
