// games.conf: reading rules and the switch with warnings for bad lines, and writing it back
// without losing what a person wrote by hand.

#include "core/games/GamesConfig.h"

#include "ScopedEnv.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(GamesConfig, ReadsRulesAndWarnsAboutBadLines) {
    const struct {
        const char* pszLine;
        bool bRule;
        GameRule rule;
    } cases[] = {
        {"program racing.exe = Racing.vks",
         true,
         {GameMatch::kProgram, "racing.exe", "Racing.vks"}},
        {"  CLASS\tsteam_app_244210   =   /keys/Racing Sim.vks  ",
         true,
         {GameMatch::kClass, "steam_app_244210", "/keys/Racing Sim.vks"}},
        {"title *Doom = Eternal* = doom.vks",
         true,
         {GameMatch::kTitle, "*Doom", "Eternal* = doom.vks"}},
        {"title \"*Doom = Eternal*\" = doom.vks",
         true,
         {GameMatch::kTitle, "*Doom = Eternal*", "doom.vks"}},
        {"title \"say \\\"hi\\\" \\\\o/\" = \" spaced.vks \"",
         true,
         {GameMatch::kTitle, "say \"hi\" \\o/", " spaced.vks "}},
        {"title My Game = ~/keys/game.vks\r",
         true,
         {GameMatch::kTitle, "My Game", "~/keys/game.vks"}},
        {"window x = a.vks", false, {}},
        {"program = a.vks", false, {}},
        {"program racing.exe =", false, {}},
        {"program racing.exe", false, {}},
        {"title \"unclosed = a.vks", false, {}},
        {"title \"x\" a.vks", false, {}},
        {"class x = \"a.vks\" junk", false, {}},
    };
    for (const auto& c : cases) {
        GamesConfig config;
        std::vector<std::string> warnings;
        config.Parse(std::string("# comment\n\n") + c.pszLine + "\n", &warnings);
        if (c.bRule) {
            ASSERT_EQ(config.rules.size(), 1u) << c.pszLine;
            EXPECT_EQ(config.rules[0], c.rule) << c.pszLine;
            EXPECT_TRUE(warnings.empty()) << c.pszLine;
        } else {
            EXPECT_TRUE(config.rules.empty()) << c.pszLine;
            ASSERT_EQ(warnings.size(), 1u) << c.pszLine;
            EXPECT_EQ(warnings[0], "games.conf line 3 is not \"program|class|title <pattern> = "
                                   "<key-set file>\"; skipped");
        }
    }
}

TEST(GamesConfig, ReadsTheSwitchFirstLineWins) {
    const struct {
        const char* pszText;
        bool bSwitching;
        size_t nWarnings;
    } cases[] = {
        {"", true, 0},
        {"switching = off\n", false, 0},
        {"Switching=No\nswitching = on\n", false, 0},
        {"switching = maybe\n", true, 1},
    };
    for (const auto& c : cases) {
        GamesConfig config;
        std::vector<std::string> warnings;
        config.Parse(c.pszText, &warnings);
        EXPECT_EQ(config.bSwitching, c.bSwitching) << c.pszText;
        EXPECT_EQ(warnings.size(), c.nWarnings) << c.pszText;
    }
}

TEST(GamesConfig, WritingKeepsCommentsBadLinesAndUnchangedSpelling) {
    const std::string text = "# my games\n"
                             "switching = yes\n"
                             "program   racing.exe = Racing.vks   # not a comment\n"
                             "bogus line\n"
                             "# shooters\n"
                             "class steam_app_1 = Shooter.vks\n"
                             "title *Puzzle* = Puzzle.vks\n";
    GamesConfig config;
    std::vector<std::string> warnings;
    config.Parse(text, &warnings);
    ASSERT_EQ(config.rules.size(), 3u);
    EXPECT_EQ(config.Text(), text) << "an unchanged configuration writes what it read";

    // Move the title rule up to first, edit the class rule, add one, switch off.
    std::swap(config.rules[0], config.rules[2]);
    std::swap(config.rules[1], config.rules[2]);
    config.rules[2].strPattern = "steam_app_2";
    config.rules.push_back({GameMatch::kTitle, "a = b", "x.vks"});
    config.bSwitching = false;
    EXPECT_EQ(config.Text(), "# my games\n"
                             "switching = off\n"
                             "title *Puzzle* = Puzzle.vks\n"
                             "bogus line\n"
                             "# shooters\n"
                             "program   racing.exe = Racing.vks   # not a comment\n"
                             "class steam_app_2 = Shooter.vks\n"
                             "title \"a = b\" = x.vks\n");

    // Removing rules drops their lines; what is written reads back as the rules.
    config.rules.erase(config.rules.begin(), config.rules.begin() + 2);
    GamesConfig again;
    warnings.clear();
    again.Parse(config.Text(), &warnings);
    EXPECT_EQ(again.rules, config.rules);
    EXPECT_FALSE(again.bSwitching);
    EXPECT_EQ(warnings.size(), 1u) << "the bad line is still there";
}

TEST(GamesConfig, ANewFileGetsAHeaderAndEveryRuleReadsBack) {
    GamesConfig config;
    config.rules = {{GameMatch::kProgram, "Racing.exe", "/k/Racing.vks"},
                    {GameMatch::kTitle, "\"quoted\" \\ title = ", "  odd name.vks"},
                    {GameMatch::kClass, "steam_app_7", "rel/Seven.vks"}};
    const std::string text = config.Text();
    EXPECT_EQ(text.rfind("# VextKey: a key set per game.", 0), 0u);
    EXPECT_NE(text.find("\nswitching = on\n"), std::string::npos);
    GamesConfig again;
    std::vector<std::string> warnings;
    again.Parse(text, &warnings);
    EXPECT_EQ(again.rules, config.rules);
    EXPECT_TRUE(warnings.empty());
}

TEST(GamesConfig, SavesAtomicallyIntoAPrivateFolderAndLoadsBack) {
    test::TempDir dir;
    const std::string path = dir.file("config/vext/games.conf");
    GamesConfig config;
    config.rules = {{GameMatch::kClass, "steam_app_1", "One.vks"}};
    ASSERT_TRUE(config.Save(path).ok());
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("config/vext").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    GamesConfig loaded;
    std::vector<std::string> warnings;
    ASSERT_TRUE(loaded.Load(path, &warnings).ok());
    EXPECT_EQ(loaded.rules, config.rules);
    // A file that is not a regular file is refused, not read (nor waited on).
    ::mkfifo(dir.file("fifo").c_str(), 0600);
    EXPECT_FALSE(loaded.Load(dir.file("fifo"), &warnings).ok());
    EXPECT_TRUE(loaded.rules.empty());
    // A folder in the way fails the save and says so.
    std::ofstream(dir.file("blocker")) << "x";
    const FileStatus failed = config.Save(dir.file("blocker/games.conf"));
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.message.find("blocker"), std::string::npos) << failed.message;
}

// The dialog's edits made again on a file another hand changed meanwhile.
TEST(GamesConfig, MergesEditsIntoAFileChangedMeanwhile) {
    const auto parse = [](const std::string& text) {
        GamesConfig config;
        std::vector<std::string> warnings;
        config.Parse(text, &warnings);
        return config;
    };
    const std::string a = "class a = A.vks\n";
    const std::string b = "class b = B.vks\n";
    const std::string c = "class c = C.vks\n";
    struct Case {
        const char* pszName;
        std::string base, edited, current, merged;
    };
    const Case cases[] = {
        {"added here and there", a, a + b, a + c, a + c + b},
        {"removed here, moved there", a + b, b, c + b + a, c + b},
        {"edited here: the old rule goes, the new one comes", a + b, a + c, b + a, a + c},
        {"removed there too", a + b, b, b, b},
        {"the same rule twice, once removed", a + a, a, a + a + b, a + b},
        {"switched off here", a, "switching = off\n" + a, a + c, "switching = off\n" + a + c},
        {"switched on there, not touched here", "switching = off\n" + a,
         "switching = off\n" + a + b, "switching = on\n" + a, "switching = on\n" + a + b},
    };
    for (const Case& c : cases) {
        const GamesConfig merged =
            GamesConfig::MergeEdits(parse(c.base), parse(c.edited), parse(c.current));
        EXPECT_EQ(merged.Text(), c.merged) << c.pszName;
    }
}

TEST(GamesConfig, ResolvesKeySetFilesFromHomeAndItsFolder) {
    test::ScopedEnv home("HOME", "/home/me");
    const std::string config = "/home/me/.config/vext/games.conf";
    EXPECT_EQ(GamesConfig::ResolveKeySetPath("~/keys/A.vks", config), "/home/me/keys/A.vks");
    EXPECT_EQ(GamesConfig::ResolveKeySetPath("/abs/A.vks", config), "/abs/A.vks");
    EXPECT_EQ(GamesConfig::ResolveKeySetPath("A.vks", config), "/home/me/.config/vext/A.vks");
}

} // namespace
} // namespace vext
