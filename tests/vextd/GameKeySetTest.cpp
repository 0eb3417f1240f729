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

// Asks for each path and waits (on the reader's descriptor) until every one is read.
std::vector<KeySetRead> ReadAll(GameKeySetReader& reader, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        reader.Ask(path);
    }
    std::vector<KeySetRead> reads;
    pollfd p{reader.WaitFd(), POLLIN, 0};
    while (reads.size() < paths.size() && ::poll(&p, 1, 20000) == 1) {
        for (KeySetRead& read : reader.Take()) {
            reads.push_back(std::move(read));
        }
    }
    return reads;
}

TEST(GameKeySetReader, SaysWhyAFileCannotBeRead) {
    test::TempDir dir;
    std::filesystem::create_symlink("loop.vks", dir.file("loop.vks"));
    struct Case {
        std::string file;
        std::string problem;
    };
    const Case cases[] = {
        {"missing.vks", ": no such file"},
        {"gone/missing.vks", ": no such file"},
        {"loop.vks", ": Too many levels of symbolic links"},
    };
    GameKeySetReader reader;
    for (const Case& c : cases) {
        GameKeySet keySet(dir.file(c.file));
        ASSERT_TRUE(keySet.NeedsRead());
        std::vector<KeySetRead> reads = ReadAll(reader, {keySet.Path()});
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_TRUE(keySet.Take(std::move(reads[0])));
        EXPECT_EQ(keySet.Table(), nullptr);
        EXPECT_EQ(keySet.Problem(), dir.file(c.file) + c.problem);
        EXPECT_FALSE(keySet.NeedsRead()) << "read again though nothing changed: " << c.file;
    }
}

TEST(GameKeySetReader, ReadsAFileOnceAndBoundsWhatItHolds) {
    test::TempDir dir;
    test::WriteKeySet(dir.file("a.vks"), "A");
    test::WriteKeySet(dir.file("b.vks"), "B");
    std::filesystem::create_directory(dir.file("ks"));
    std::filesystem::create_symlink("../a.vks", dir.file("ks/a.vks"));
    const auto nSize = std::filesystem::file_size(dir.file("a.vks"));
    GameKeySetReader reader({}, nSize + nSize / 2);
    const std::vector<KeySetRead> reads =
        ReadAll(reader, {dir.file("a.vks"), dir.file("./a.vks"), dir.file("ks/a.vks")});
    ASSERT_EQ(reads.size(), 3u);
    ASSERT_NE(reads[0].pTable, nullptr) << reads[0].strProblem;
    EXPECT_EQ(reads[1].pTable, reads[0].pTable);
    EXPECT_EQ(reads[2].pTable, reads[0].pTable);

    const std::vector<KeySetRead> more = ReadAll(reader, {dir.file("b.vks")});
    ASSERT_EQ(more.size(), 1u);
    EXPECT_EQ(more[0].pTable, nullptr);
    EXPECT_NE(more[0].strProblem.find("not read: the rules' key sets would take more than"),
              std::string::npos)
        << more[0].strProblem;
}

} // namespace
} // namespace vext
