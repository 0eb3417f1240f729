#include "core/games/GamesConfig.h"

#include "core/games/TextFold.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace vext {
namespace {

constexpr std::string_view kSpace = " \t\r";

std::string_view Trim(std::string_view text) {
    const size_t nFirst = text.find_first_not_of(kSpace);
    if (nFirst == std::string_view::npos) {
        return {};
    }
    return text.substr(nFirst, text.find_last_not_of(kSpace) - nFirst + 1);
}

// A double-quoted string at the start of text, with \" and \\ inside; the rest of the text
// after the closing quote goes to *pRest. False when the quote does not close.
bool Unquote(std::string_view text, std::string* pOut, std::string_view* pRest) {
    pOut->clear();
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
            pOut->push_back(text[++i]);
        } else if (text[i] == '"') {
            *pRest = text.substr(i + 1);
            return true;
        } else {
            pOut->push_back(text[i]);
        }
    }
    return false;
}

bool ParseMatch(std::string_view word, GameMatch* pMatch) {
    for (const GameMatch match : {GameMatch::kProgram, GameMatch::kClass, GameMatch::kTitle}) {
        if (EqualNoCase(word, GameMatchKeyword(match))) {
            *pMatch = match;
            return true;
        }
    }
    return false;
}

// "<kind> <pattern> = <file>"; false when the line is not one.
bool ParseRule(std::string_view line, GameRule* pRule) {
    const size_t nSpace = line.find_first_of(kSpace);
    if (nSpace == std::string_view::npos || !ParseMatch(line.substr(0, nSpace), &pRule->match)) {
        return false;
    }
    std::string_view rest = Trim(line.substr(nSpace));
    if (!rest.empty() && rest.front() == '"') {
        if (!Unquote(rest, &pRule->strPattern, &rest)) {
            return false;
        }
        rest = Trim(rest);
        if (rest.empty() || rest.front() != '=') {
            return false;
        }
        rest.remove_prefix(1);
    } else {
        const size_t nEqual = rest.find('=');
        if (nEqual == std::string_view::npos) {
            return false;
        }
        pRule->strPattern = std::string(Trim(rest.substr(0, nEqual)));
        rest = rest.substr(nEqual + 1);
    }
    rest = Trim(rest);
    if (!rest.empty() && rest.front() == '"') {
        std::string_view after;
        if (!Unquote(rest, &pRule->strKeySet, &after) || !Trim(after).empty()) {
            return false;
        }
    } else {
        pRule->strKeySet = std::string(rest);
    }
    return !pRule->strPattern.empty() && !pRule->strKeySet.empty();
}

// "switching = on|off": 1 on, 0 off, -1 not a switching line, -2 a switching line whose value
// is neither.
int ParseSwitching(std::string_view line) {
    const size_t nEqual = line.find('=');
    if (nEqual == std::string_view::npos ||
        !EqualNoCase(Trim(line.substr(0, nEqual)), "switching")) {
        return -1;
    }
    const std::string_view value = Trim(line.substr(nEqual + 1));
    for (const std::string_view on : {"on", "yes", "true", "1"}) {
        if (EqualNoCase(value, on)) {
            return 1;
        }
    }
    for (const std::string_view off : {"off", "no", "false", "0"}) {
        if (EqualNoCase(value, off)) {
            return 0;
        }
    }
    return -2;
}

std::string SwitchingLine(bool bOn) {
    return std::string("switching = ") + (bOn ? "on" : "off");
}

constexpr std::string_view kHeader =
    "# VextKey: a key set per game. The first rule that matches the window with the focus picks\n"
    "# the key set that plays; with none, the key set downloaded to the driver plays.\n"
    "#   program|class|title <what it matches> = <key-set file>\n"
    "# program: the executable's file name (a Wine or Proton game's .exe); class: the window\n"
    "# class (WM_CLASS, Wayland app_id); title: the window title, * and ? as wildcards.\n";

} // namespace

void GamesConfig::Parse(std::string_view text, std::vector<std::string>* pWarnings) {
    bSwitching = true;
    rules.clear();
    m_lines.clear();
    m_readRules.clear();
    size_t nSkipped = 0;
    const auto warn = [&](std::string warning) {
        if (++nSkipped <= kMaxWarnings) {
            pWarnings->push_back(std::move(warning));
        }
    };
    int nLine = 0;
    bool bSawSwitch = false;
    while (!text.empty()) {
        const size_t nEnd = text.find('\n');
        Line line{std::string(text.substr(0, nEnd))};
        text = nEnd == std::string_view::npos ? std::string_view() : text.substr(nEnd + 1);
        ++nLine;
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
        }
        const std::string_view trimmed = Trim(line.text);
        if (trimmed.empty() || trimmed.front() == '#') {
            m_lines.push_back(std::move(line));
            continue;
        }
        const std::string where = "games.conf line " + std::to_string(nLine);
        if (const int nSwitch = ParseSwitching(trimmed); nSwitch != -1) {
            if (nSwitch < 0) {
                warn(where + ": switching needs on or off; skipped");
            } else if (!bSawSwitch) {
                bSwitching = nSwitch == 1;
                bSawSwitch = true;
                line.bSwitch = true;
            }
            m_lines.push_back(std::move(line));
            continue;
        }
        GameRule rule;
        if (!ParseRule(trimmed, &rule)) {
            warn(where + " is not \"program|class|title <pattern> = <key-set file>\"; skipped");
        } else {
            line.nRule = static_cast<int>(rules.size());
            rules.push_back(std::move(rule));
        }
        m_lines.push_back(std::move(line));
    }
    if (nSkipped > kMaxWarnings) {
        pWarnings->push_back("games.conf: " + std::to_string(nSkipped - kMaxWarnings) +
                             " more lines skipped");
    }
    m_readRules = rules;
    m_bReadSwitching = bSwitching;
}

std::string GamesConfig::FormatRule(const GameRule& rule) {
    std::string line(GameMatchKeyword(rule.match));
    line += ' ';
    line += SpellGameWord(rule.strPattern, true);
    line += " = ";
    line += SpellGameWord(rule.strKeySet, false);
    return line;
}

std::string GamesConfig::Text() const {
    std::string text;
    const auto add = [&text](std::string_view line) {
        text += line;
        text += '\n';
    };
    const bool bHasSwitchLine =
        std::any_of(m_lines.begin(), m_lines.end(), [](const Line& l) { return l.bSwitch; });
    // A file without a switching line gets one only when it says something: off, or a new
    // file. It goes after the comments that open the file.
    const bool bAddSwitchLine = !bHasSwitchLine && (!bSwitching || m_lines.empty());
    size_t nSwitchAt = 0;
    while (nSwitchAt < m_lines.size() && Trim(m_lines[nSwitchAt].text).starts_with('#')) {
        ++nSwitchAt;
    }
    if (m_lines.empty()) {
        text += kHeader;
    }
    // Rules go into the rule lines in their order, and rules beyond the lines at the end. A
    // rule as it was read keeps its own spelling wherever it moved.
    std::vector<const std::string*> readText(m_readRules.size(), nullptr);
    for (const Line& line : m_lines) {
        if (line.nRule >= 0) {
            readText[static_cast<size_t>(line.nRule)] = &line.text;
        }
    }
    const auto spell = [&](const GameRule& rule) {
        for (size_t k = 0; k < m_readRules.size(); ++k) {
            if (readText[k] != nullptr && m_readRules[k] == rule) {
                const std::string text = *readText[k];
                readText[k] = nullptr;
                return text;
            }
        }
        return FormatRule(rule);
    };
    size_t nNext = 0;
    for (size_t i = 0; i <= m_lines.size(); ++i) {
        if (bAddSwitchLine && i == nSwitchAt) {
            add(SwitchingLine(bSwitching));
        }
        if (i == m_lines.size()) {
            break;
        }
        const Line& line = m_lines[i];
        if (line.bSwitch) {
            add(bSwitching == m_bReadSwitching ? line.text : SwitchingLine(bSwitching));
        } else if (line.nRule < 0) {
            add(line.text);
        } else if (nNext < rules.size()) {
            add(spell(rules[nNext++]));
        }
    }
    for (; nNext < rules.size(); ++nNext) {
        add(spell(rules[nNext]));
    }
    return text;
}

FileStatus GamesConfig::Load(const std::string& path, std::vector<std::string>* pWarnings) {
    std::string text;
    bool bExists = false;
    const FileStatus status = ReadWholeFile(path, &text, &bExists, kMaxFileBytes);
    Parse(status.ok() ? text : std::string(), pWarnings);
    return status;
}

GamesConfig GamesConfig::MergeEdits(const GamesConfig& base, const GamesConfig& edited,
                                    GamesConfig current) {
    // Rules are told apart by what they say: one said twice counts twice.
    std::vector<GameRule> gone = base.rules;
    std::vector<GameRule> added;
    for (const GameRule& rule : edited.rules) {
        const auto it = std::find(gone.begin(), gone.end(), rule);
        if (it != gone.end()) {
            gone.erase(it);
        } else {
            added.push_back(rule);
        }
    }
    for (const GameRule& rule : gone) {
        const auto it = std::find(current.rules.begin(), current.rules.end(), rule);
        if (it != current.rules.end()) {
            current.rules.erase(it);
        }
    }
    current.rules.insert(current.rules.end(), added.begin(), added.end());
    if (edited.bSwitching != base.bSwitching) {
        current.bSwitching = edited.bSwitching;
    }
    return current;
}

FileStatus GamesConfig::Save(const std::string& path) const {
    const size_t nSlash = path.find_last_of('/');
    if (nSlash != std::string::npos && nSlash > 0) {
        // The folder and its missing parents; an existing one is left as it is.
        const std::string folder = path.substr(0, nSlash);
        for (size_t nAt = 1; nAt <= folder.size(); ++nAt) {
            if (nAt == folder.size() || folder[nAt] == '/') {
                const std::string part = folder.substr(0, nAt);
                if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
                    return FileStatus::Fail(FileError::kCannotOpen, "Cannot make the folder " +
                                                                        part + ": " +
                                                                        std::strerror(errno));
                }
            }
        }
    }
    return WriteFileAtomically(path, Text());
}

std::string GamesConfig::DefaultPath() {
    const char* pConfig = std::getenv("XDG_CONFIG_HOME");
    if (pConfig != nullptr && pConfig[0] == '/') {
        return std::string(pConfig) + "/vext/games.conf";
    }
    const char* pHome = std::getenv("HOME");
    return std::string(pHome != nullptr ? pHome : "") + "/.config/vext/games.conf";
}

std::string GamesConfig::ResolveKeySetPath(std::string_view written, std::string_view configPath) {
    if (written.rfind("~/", 0) == 0) {
        const char* pHome = std::getenv("HOME");
        return std::string(pHome != nullptr ? pHome : "") + std::string(written.substr(1));
    }
    if (!written.empty() && written.front() == '/') {
        return std::string(written);
    }
    const size_t nSlash = configPath.find_last_of('/');
    const std::string_view folder =
        nSlash == std::string_view::npos ? std::string_view(".") : configPath.substr(0, nSlash);
    return std::string(folder) + "/" + std::string(written);
}

} // namespace vext
