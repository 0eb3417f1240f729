#include "core/app/VextKeyCommandLineInfo.h"

#include "TempDir.h"

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Parsed {
    int nAction;
    std::string strFile;
};

// Parses as the program would, with a made-up file system holding only the given paths.
Parsed Parse(const std::vector<std::string>& args, const std::set<std::string>& existing = {}) {
    std::vector<const char*> argv = {"vextkey"};
    for (const std::string& a : args) {
        argv.push_back(a.c_str());
    }
    CVextKeyCommandLineInfo info;
    info.ParseCommandLine(static_cast<int>(argv.size()), argv.data(),
                          [&](const std::string& path) { return existing.count(path) > 0; });
    return {info.m_nAction, info.m_strFileName};
}

constexpr int kNone = CVextKeyCommandLineInfo::kActionNone;
constexpr int kLoad = CVextKeyCommandLineInfo::kActionLoad;
constexpr int kUnload = CVextKeyCommandLineInfo::kActionUnload;

TEST(VextKeyCommandLineInfo, Rules) {
    struct Case {
        std::vector<std::string> args;
        int nAction;
        const char* file;
    };
    const Case cases[] = {
        {{}, kNone, ""},
        {{"a"}, kNone, ""},
        {{"/ld", "a", "b"}, kLoad, "a"},
        {{"-ld", "a", "b"}, kLoad, "a"},
        {{"a", "/ld"}, kLoad, ""},
        {{"/ld", "a", "/ul"}, kUnload, "a"},
        {{"/ld", "/x", "a"}, kNone, ""},
        {{"/LD", "a"}, kNone, ""},
        {{"-Ld", "a"}, kNone, ""},
        {{"/ul"}, kUnload, ""},
        {{"-ul", "a"}, kUnload, ""},
        {{"/ul", "/ld", "a"}, kLoad, "a"},
        {{"/ld", "a", "/ld", "b"}, kLoad, "a"},
        {{"/ld", "a", "/x", "/ld", "b"}, kLoad, "a"},
        {{"-ld", "-", "a"}, kNone, ""},
        {{"--ld", "a"}, kNone, ""},
        {{"/ld", "-a"}, kNone, ""},
        {{"/ld", ""}, kLoad, ""},
        {{"/ld", "my set.vks"}, kLoad, "my set.vks"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) {
            line += "'" + a + "' ";
        }
        const Parsed p = Parse(c.args);
        EXPECT_EQ(p.nAction, c.nAction) << line;
        EXPECT_EQ(p.strFile, c.file) << line;
    }
}

TEST(VextKeyCommandLineInfo, AbsolutePathsAreNotFlags) {
    struct Case {
        std::vector<std::string> args;
        std::set<std::string> existing;
        int nAction;
        const char* file;
    };
    const Case cases[] = {
        // A second "/" makes a path, whether or not it exists.
        {{"-ld", "/home/u/sets/race.vks"}, {}, kLoad, "/home/u/sets/race.vks"},
        {{"/ld", "/home/u/race.vks"}, {}, kLoad, "/home/u/race.vks"},
        {{"/ld", "/tmp/"}, {}, kLoad, "/tmp/"},
        // One "/" only: a path when it names something that exists or has a ".", else a flag.
        {{"/ld", "/race.vks"}, {"/race.vks"}, kLoad, "/race.vks"},
        {{"/ld", "/race.vks"}, {}, kLoad, "/race.vks"},
        {{"/ld", "/race"}, {}, kNone, ""},
        {{"/ld", "/ul"}, {}, kUnload, ""},
        {{"/ld", "/ul"}, {"/ul"}, kLoad, "/ul"},
        // A "-" flag stays a flag even when a file of that name exists.
        {{"-ld"}, {"-ld"}, kLoad, ""},
    };
    for (const Case& c : cases) {
        const Parsed p = Parse(c.args, c.existing);
        EXPECT_EQ(p.nAction, c.nAction) << c.args.back();
        EXPECT_EQ(p.strFile, c.file) << c.args.back();
    }
}

TEST(VextKeyCommandLineInfo, RealFileSystemDecidesBySecondSlashOrExistence) {
    vext::test::TempDir dir;
    const std::string file = dir.file("set.vks");
    std::ofstream(file) << "x";
    const char* argv[] = {"vextkey", "/ld", file.c_str()};
    CVextKeyCommandLineInfo info;
    info.ParseCommandLine(3, argv);
    EXPECT_EQ(info.m_nAction, kLoad);
    EXPECT_EQ(info.m_strFileName, file);

    EXPECT_FALSE(CVextKeyCommandLineInfo::IsFlag("/tmp", {})) << "/tmp exists";
    EXPECT_TRUE(CVextKeyCommandLineInfo::IsFlag("/vext-no-such-file-here", {}));
    EXPECT_FALSE(CVextKeyCommandLineInfo::IsFlag("", {}));
    EXPECT_FALSE(CVextKeyCommandLineInfo::IsFlag("ld", {}));
}

TEST(VextKeyCommandLineInfo, ParseParamTakesTheFileOnlyAfterLd) {
    CVextKeyCommandLineInfo info;
    info.ParseParam("a", false, false);
    EXPECT_TRUE(info.m_strFileName.empty());
    info.ParseParam("ld", true, false);
    info.ParseParam("b", false, false);
    info.ParseParam("c", false, true);
    EXPECT_EQ(info.m_nAction, kLoad);
    EXPECT_EQ(info.m_strFileName, "b");
}

} // namespace
