// The rule matcher: program, class and title rules, case, globs, first match wins; and the
// program behind a window's process, Wine's .exe rule included.

#include "core/games/GameRule.h"

#include "TempDir.h"
#include "core/games/ProgramName.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

FocusedWindow Window(std::string program, std::vector<std::string> classes, std::string title) {
    FocusedWindow w;
    w.bPresent = true;
    w.strProgram = std::move(program);
    w.classes = std::move(classes);
    w.strTitle = std::move(title);
    return w;
}

struct MatchCase {
    const char* pszName;
    GameMatch match;
    const char* pszPattern;
    FocusedWindow window;
    bool bMatches;
};

TEST(GameRule, MatchesByProgramClassOrTitleWithoutRegardToCase) {
    const FocusedWindow racing = Window("Racing.exe", {"steam_app_244210", "steam_app_244210"},
                                        "Racing Sim 2024 — Ünïcode ΣΟΦΙΑ");
    const MatchCase cases[] = {
        {"program, other case", GameMatch::kProgram, "racing.EXE", racing, true},
        {"program is whole", GameMatch::kProgram, "Racing", racing, false},
        {"program is not a glob", GameMatch::kProgram, "*.exe", racing, false},
        {"unknown program", GameMatch::kProgram, "racing.exe", Window("", {}, ""), false},
        {"class instance", GameMatch::kClass, "STEAM_APP_244210", racing, true},
        {"class of the pair's second", GameMatch::kClass, "Firefox-ESR",
         Window("firefox-esr", {"Navigator", "firefox-esr"}, ""), true},
        {"class is whole", GameMatch::kClass, "steam_app_24421", racing, false},
        {"title glob", GameMatch::kTitle, "racing sim *", racing, true},
        {"title glob needs the whole title", GameMatch::kTitle, "Racing", racing, false},
        {"title ? is one character", GameMatch::kTitle, "Racing Sim 202? *", racing, true},
        {"title ? is not two", GameMatch::kTitle, "Racing Sim 20? *", racing, false},
        {"title folds beyond ASCII", GameMatch::kTitle, "*ünÏcode σοφια", racing, true},
        {"title star matches nothing too", GameMatch::kTitle, "*Racing Sim 2024*ΣΟΦΙΑ*", racing,
         true},
        {"empty title against *", GameMatch::kTitle, "*", Window("x", {}, ""), true},
        {"no window", GameMatch::kTitle, "*", FocusedWindow{}, false},
    };
    for (const MatchCase& c : cases) {
        const GameRule rule{c.match, c.pszPattern, "set.vks"};
        EXPECT_EQ(RuleMatches(rule, c.window), c.bMatches) << c.pszName;
    }
}

TEST(GameRule, FirstMatchingRuleWins) {
    const std::vector<GameRule> rules = {
        {GameMatch::kTitle, "*Editor*", "editor.vks"},
        {GameMatch::kClass, "steam_app_1", "one.vks"},
        {GameMatch::kTitle, "*", "any.vks"},
    };
    EXPECT_EQ(MatchGameRule(rules, Window("", {"steam_app_1"}, "Level Editor")), 0);
    EXPECT_EQ(MatchGameRule(rules, Window("", {"steam_app_1"}, "Game")), 1);
    EXPECT_EQ(MatchGameRule(rules, Window("", {}, "Other")), 2);
    EXPECT_EQ(MatchGameRule(rules, FocusedWindow{}), -1);
    EXPECT_EQ(MatchGameRule({}, Window("", {}, "Other")), -1);
}

// --status and the dialog spell a pattern as games.conf does: "title A = B" would read as a
// rule of its own.
TEST(GameRule, DescribesItsMatchAsGamesConfSpellsIt) {
    const std::pair<GameRule, std::string> cases[] = {
        {{GameMatch::kClass, "steam_app_1", "x.vks"}, "class steam_app_1"},
        {{GameMatch::kTitle, "A = B", "x.vks"}, "title \"A = B\""},
        {{GameMatch::kTitle, " Pad \"Pro\"", "x.vks"}, "title \" Pad \\\"Pro\\\"\""},
        {{GameMatch::kProgram, "a\\b.exe", "x.vks"}, "program a\\b.exe"},
    };
    for (const auto& [rule, text] : cases) {
        EXPECT_EQ(DescribeGameMatch(rule), text);
    }
}

TEST(GameRule, KnowsTheConfiguratorsOwnWindows) {
    EXPECT_TRUE(IsConfiguratorWindow(Window("", {"vextkey", "VextKey"}, "Game Key Sets")));
    EXPECT_TRUE(IsConfiguratorWindow(Window("vextkey", {}, "")));
    EXPECT_FALSE(IsConfiguratorWindow(Window("vextd", {"xterm"}, "vextkey")));
    EXPECT_FALSE(IsConfiguratorWindow(FocusedWindow{}));
}

TEST(ProgramName, TakesTheWindowsProgramFromAWineCommandLine) {
    using namespace std::string_literals;
    const struct {
        std::string cmdline;
        const char* pszProgram;
    } cases[] = {
        {"C:\\Games\\Racing\\Racing.exe\0"s, "Racing.exe"},
        {"Z:\\home\\me\\Games\\Doom.EXE\0-nosound\0"s, "Doom.EXE"},
        {"/usr/bin/wine64\0/home/me/My Game/Game.exe\0"s, "Game.exe"},
        {"\"C:\\Program Files\\Studio\\Fly.exe\"\0"s, "Fly.exe"},
        {"C:\\Program Files\\Studio\\Fly.exe -windowed\0"s, "Fly.exe"},
        {"\"C:\\Program Files\\Studio\\Fly.exe\" -windowed\0"s, "Fly.exe"},
        {"/usr/bin/wine64-preloader\0--version\0"s, ""},
        {"C:\\dir.exe\\not-a-program\0"s, ""},
        {".exe\0"s, ""},
        {""s, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowsProgramFromCommandLine(c.cmdline), c.pszProgram) << c.cmdline;
    }
}

TEST(ProgramName, ReadsTheProgramOfAProcess) {
    namespace fs = std::filesystem;
    using namespace std::string_literals;
    test::TempDir proc;
    const auto makeProcess = [&](int nPid, const std::string& exe, const std::string& cmdline) {
        const fs::path dir = proc.path() / std::to_string(nPid);
        fs::create_directories(dir);
        fs::create_symlink(exe, dir / "exe");
        std::ofstream(dir / "cmdline", std::ios::binary) << cmdline;
    };
    makeProcess(10, "/usr/games/supertuxkart", "supertuxkart\0"s);
    makeProcess(11, "/opt/proton/files/bin/wine64-preloader", "Z:\\Games\\Racing.exe\0"s);
    makeProcess(12, "/usr/lib/wine/wine-preloader", "C:\\windows\\system32\\winecfg\0"s);
    makeProcess(13, "/usr/bin/game (deleted)", "game\0"s);
    const std::string root = proc.path().string();
    EXPECT_EQ(ProgramOfProcess(10, root), "supertuxkart");
    EXPECT_EQ(ProgramOfProcess(11, root), "Racing.exe");
    EXPECT_EQ(ProgramOfProcess(12, root), "wine-preloader"); // no .exe: Wine itself
    EXPECT_EQ(ProgramOfProcess(13, root), "game");
    EXPECT_EQ(ProgramOfProcess(14, root), "");
    EXPECT_EQ(ProgramOfProcess(0, root), "");
}

} // namespace
} // namespace vext
