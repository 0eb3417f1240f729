#pragma once

// A rule that gives a game its key set: a key-set file and what it matches in the focused
// window (the program, the window class, or the title as a glob). Matching is without regard to
// case, and the first rule that matches wins.

#include "core/games/FocusedWindow.h"

#include <string>
#include <string_view>
#include <vector>

namespace vext {

enum class GameMatch {
    kProgram, // the executable's file name; for Wine and Proton the Windows program's
    kClass,   // WM_CLASS instance or class on X11, app_id on Wayland
    kTitle,   // a glob over the window title: "*" and "?"
};

struct GameRule {
    GameMatch match = GameMatch::kProgram;
    std::string strPattern;
    std::string strKeySet; // the key-set file as written in games.conf

    bool operator==(const GameRule&) const = default;
};

// "program", "class", "title".
std::string_view GameMatchKeyword(GameMatch match);

// A pattern (bPattern) or a key-set file as games.conf writes it: in quotes, with quotes and
// backslashes escaped, where it would not read back as it is (a pattern holding "=", spaces at
// an end).
std::string SpellGameWord(std::string_view text, bool bPattern);

// What the rule matches, for people, its pattern spelled as games.conf spells it:
// "class steam_app_244210", "title \"A = B\"".
std::string DescribeGameMatch(const GameRule& rule);

bool RuleMatches(const GameRule& rule, const FocusedWindow& window);

// The index of the first rule that matches the window, -1 when none does (or no window has the
// focus).
int MatchGameRule(const std::vector<GameRule>& rules, const FocusedWindow& window);

// Whether the window is one of the configurator's own: while it has the focus, the key set in
// play stays, so that editing a key set never switches it away.
bool IsConfiguratorWindow(const FocusedWindow& window);

} // namespace vext
