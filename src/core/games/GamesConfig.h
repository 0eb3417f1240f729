#pragma once

// games.conf: the rules that give each game its key set, and whether switching by game is on.
// A text file of lines
//     switching = on|off
//     program|class|title <pattern> = <key-set file>
// with "#" starting a comment line. A pattern with "=", a quote or spaces at its ends is
// written in double quotes (with \" and \\ inside); so is a file name with spaces at its ends.
// Lines that cannot be read are skipped with a warning naming the line, as in pads.conf.
// Writing keeps comments and unreadable lines where they were, so a file edited by hand loses
// nothing when the dialog saves it.

#include "core/games/GameRule.h"
#include "core/platform/AtomicFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace vext {

class GamesConfig {
public:
    // Larger files are not a games.conf.
    static constexpr size_t kMaxFileBytes = 1u << 20;
    // Warnings beyond this many are summed up in one line.
    static constexpr size_t kMaxWarnings = 20;

    bool bSwitching = true;
    std::vector<GameRule> rules;

    // Reads configuration text; lines it cannot read are skipped and described in *pWarnings.
    void Parse(std::string_view text, std::vector<std::string>* pWarnings);

    // The text to write: the text read, with its rule lines and its switching line standing
    // for the rules and the switch as they are now; other lines stay where they were.
    std::string Text() const;

    // Reads the file (non-blocking, regular files only, bounded). A missing file is an empty
    // configuration with switching on.
    FileStatus Load(const std::string& path, std::vector<std::string>* pWarnings);
    // Writes Text() atomically, making the folder (mode 0700) when it is missing.
    FileStatus Save(const std::string& path) const;

    // $XDG_CONFIG_HOME/vext/games.conf, else ~/.config/vext/games.conf.
    static std::string DefaultPath();

    // The key-set file a rule names, as a path: "~/" is the home folder, and a relative name is
    // taken from the folder games.conf is in.
    static std::string ResolveKeySetPath(std::string_view written, std::string_view configPath);

    // One rule line as Text() writes it.
    static std::string FormatRule(const GameRule& rule);

    // The edits that made edited of base, made again on current (the file as it is now, changed
    // by another hand meanwhile): rules edited gave up are taken out, rules it added go to the
    // end, and a switch it turned over is turned the same way; the rest of current stays.
    static GamesConfig MergeEdits(const GamesConfig& base, const GamesConfig& edited,
                                  GamesConfig current);

private:
    struct Line {
        std::string text;
        int nRule = -1; // index into the rules as read, -1 when not a rule line
        bool bSwitch = false;
    };

    std::vector<Line> m_lines;
    std::vector<GameRule> m_readRules; // as read, to keep a line that did not change
    bool m_bReadSwitching = true;
};

} // namespace vext
