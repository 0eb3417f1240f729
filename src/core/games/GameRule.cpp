#include "core/games/GameRule.h"

#include "core/games/TextFold.h"

namespace vext {

std::string_view GameMatchKeyword(GameMatch match) {
    switch (match) {
    case GameMatch::kProgram:
        return "program";
    case GameMatch::kClass:
        return "class";
    case GameMatch::kTitle:
        return "title";
    }
    return "program";
}

std::string SpellGameWord(std::string_view text, bool bPattern) {
    constexpr std::string_view kSpace = " \t\r";
    const bool bQuote = text.empty() || text.front() == '"' || text.find_first_of(kSpace) == 0 ||
                        text.find_last_of(kSpace) == text.size() - 1 ||
                        (bPattern && text.find('=') != std::string_view::npos);
    if (!bQuote) {
        return std::string(text);
    }
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string DescribeGameMatch(const GameRule& rule) {
    return std::string(GameMatchKeyword(rule.match)) + " " + SpellGameWord(rule.strPattern, true);
}

bool RuleMatches(const GameRule& rule, const FocusedWindow& window) {
    if (!window.bPresent || rule.strPattern.empty()) {
        return false;
    }
    switch (rule.match) {
    case GameMatch::kProgram:
        return !window.strProgram.empty() && EqualNoCase(rule.strPattern, window.strProgram);
    case GameMatch::kClass:
        for (const std::string& strClass : window.classes) {
            if (!strClass.empty() && EqualNoCase(rule.strPattern, strClass)) {
                return true;
            }
        }
        return false;
    case GameMatch::kTitle:
        return GlobMatchNoCase(rule.strPattern, window.strTitle);
    }
    return false;
}

int MatchGameRule(const std::vector<GameRule>& rules, const FocusedWindow& window) {
    for (size_t i = 0; i < rules.size(); ++i) {
        if (RuleMatches(rules[i], window)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsConfiguratorWindow(const FocusedWindow& window) {
    if (!window.bPresent) {
        return false;
    }
    if (EqualNoCase(window.strProgram, "vextkey")) {
        return true;
    }
    for (const std::string& strClass : window.classes) {
        if (EqualNoCase(strClass, "vextkey")) {
            return true;
        }
    }
    return false;
}

} // namespace vext
