#include "ManualTables.h"

#include "core/keys/KeyNameTable.h"
#include "core/keys/StrokeCodes.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <vector>

namespace vext::manual {

namespace {

bool IsModifierKey(const KeyName& key) {
    // The capture's modifiers: Ctrl, Alt, left and right Shift.
    return key.name.size() > 1 &&
           (key.nCode == 0x11 || key.nCode == 0x12 || key.nCode == 0xA0 || key.nCode == 0xA1);
}

bool IsFunctionKey(const KeyName& key) {
    return key.name.size() > 1 && key.name[0] == 'F' &&
           std::all_of(key.name.begin() + 1, key.name.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

bool IsKeypadKey(const KeyName& key) {
    // "Num-0", "Num.", "Num+": the keypad; "NumLk" is a lock key of its own.
    return key.name.size() > 3 && key.name.substr(0, 3) == "Num" &&
           std::isalpha(static_cast<unsigned char>(key.name[3])) == 0;
}

bool IsCursorKey(const KeyName& key) {
    // Page Up to Down arrow, Insert and Delete by their virtual-key codes.
    return key.name.size() > 1 &&
           ((key.nCode >= 0x21 && key.nCode <= 0x28) || key.nCode == 0x2D || key.nCode == 0x2E);
}

struct Group {
    const char* pszTitle;
    const char* pszNote;
    bool bCharacters; // one-character names, written as they are
    std::function<bool(const KeyName&)> fnMatches;
};

const std::vector<Group>& Groups() {
    static const std::vector<Group> groups = {
        {"Keys that type nothing", "recognised in keystroke fields, but the driver plays no key",
         false, [](const KeyName& k) { return k.nKeyNumber == 0; }},
        {"Letters", "write them as they are, in either case", true,
         [](const KeyName& k) {
             return k.name.size() == 1 && std::isalpha(static_cast<unsigned char>(k.name[0]));
         }},
        {"Digits", "the digits of the main keyboard", true,
         [](const KeyName& k) {
             return k.name.size() == 1 && std::isdigit(static_cast<unsigned char>(k.name[0]));
         }},
        {"Punctuation", "the keys where a US keyboard has these characters", true,
         [](const KeyName& k) { return k.name.size() == 1; }},
        {"Modifiers", "alone, or before other keys in one group", false, IsModifierKey},
        {"Function keys", "", false, IsFunctionKey},
        {"Keypad", "the numeric keypad", false, IsKeypadKey},
        {"Cursor and editing keys", "", false, IsCursorKey},
        {"Other keys", "", false, [](const KeyName&) { return true; }},
    };
    return groups;
}

// What a name means, where the name alone does not say it.
std::string_view Meaning(std::string_view name) {
    static const std::map<std::string_view, std::string_view> meanings = {
        {"L-Win", "left Windows (Super) key"},
        {"R-Win", "right Windows (Super) key"},
        {"Apps", "Menu key"},
        {"Ctrl", "Ctrl (left or right)"},
        {"Alt", "Alt (left or right)"},
        {"LShift", "left Shift"},
        {"RShift", "right Shift"},
        {"Num-*", "keypad *"},
        {"Num-/", "keypad /"},
        {"Num-", "keypad minus"},
        {"Num.", "keypad decimal point"},
        {"Num+", "keypad plus"},
        {"Up", "up arrow"},
        {"Down", "down arrow"},
        {"Left", "left arrow"},
        {"Right", "right arrow"},
        {"Ins", "Insert"},
        {"Del", "Delete"},
        {"PgUp", "Page Up"},
        {"PgDn", "Page Down"},
        {"Bksp", "Backspace"},
        {"Esc", "Escape"},
        {"Return", "Enter (main keyboard and keypad)"},
        {"Caps", "Caps Lock"},
        {"NumLk", "Num Lock"},
        {"ScrLk", "Scroll Lock"},
        {"PrtSc", "Print Screen"},
    };
    const auto it = meanings.find(name);
    if (it != meanings.end()) {
        return it->second;
    }
    return {};
}

std::string KeyMeaning(std::string_view name) {
    const std::string_view meaning = Meaning(name);
    if (!meaning.empty()) {
        return std::string(meaning);
    }
    if (name.size() == 5 && name.substr(0, 4) == "Num-") {
        return "keypad " + std::string(name.substr(4));
    }
    return std::string(name);
}

// The name a key number goes by in the examples: the first row that has it.
std::string NameOfKeyNumber(int nKeyNumber) {
    for (const KeyName& key : KeyNameTable) {
        if (key.nKeyNumber == nKeyNumber) {
            return std::string(key.name);
        }
    }
    return "key " + std::to_string(nKeyNumber);
}

std::string Transitions(const std::string& strCodes) {
    std::string html;
    for (uint8_t nCode : CodesToBytes(strCodes)) {
        if (!html.empty()) {
            html += ' ';
        }
        html += "<span class=\"" + std::string(nCode & 0x80 ? "up" : "down") + "\">" +
                HtmlEscape(NameOfKeyNumber(nCode & 0x7F)) + (nCode & 0x80 ? "\u2191" : "\u2193") +
                "</span>";
    }
    return html.empty() ? "<em>nothing</em>" : html;
}

} // namespace

std::string HtmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string KeyNameTables() {
    const std::vector<Group>& groups = Groups();
    std::vector<std::vector<const KeyName*>> members(groups.size());
    for (const KeyName& key : KeyNameTable) {
        for (std::size_t g = 0; g < groups.size(); ++g) {
            if (groups[g].fnMatches(key)) {
                members[g].push_back(&key);
                break;
            }
        }
    }
    // Keys that type nothing are matched first but shown last.
    std::vector<std::size_t> order;
    for (std::size_t g = 1; g < groups.size(); ++g) {
        order.push_back(g);
    }
    order.push_back(0);
    std::string html;
    for (const std::size_t g : order) {
        if (members[g].empty()) {
            continue;
        }
        const Group& group = groups[g];
        html += "<h4>" + std::string(group.pszTitle) + "</h4>\n";
        if (*group.pszNote) {
            html += "<p class=\"note\">" + HtmlEscape(group.pszNote) + "</p>\n";
        }
        if (group.bCharacters) {
            // The table follows the keyboard's rows; a reader looks characters up in order.
            std::vector<const KeyName*> sorted = members[g];
            std::stable_sort(sorted.begin(), sorted.end(),
                             [](const KeyName* a, const KeyName* b) { return a->name < b->name; });
            html += "<p class=\"keygrid\">";
            for (const KeyName* pKey : sorted) {
                html += "<span><code>" + HtmlEscape(pKey->name) + "</code><small>" +
                        std::to_string(pKey->nKeyNumber) + "</small></span> ";
            }
            html += "</p>\n";
            continue;
        }
        html += "<table class=\"keys\">\n<tr><th>Write</th><th>Key</th><th>PC key number</th>"
                "</tr>\n";
        for (const KeyName* pKey : members[g]) {
            const std::string meaning = KeyMeaning(pKey->name);
            html += "<tr><td><code>{" + HtmlEscape(pKey->name) + "}</code></td><td>" +
                    HtmlEscape(meaning) + "</td><td>" +
                    (pKey->nKeyNumber ? std::to_string(pKey->nKeyNumber) : "&ndash;") +
                    "</td></tr>\n";
        }
        html += "</table>\n";
    }
    return html;
}

std::string StrokeExamples() {
    const struct {
        const char* pszPress;
        const char* pszRelease;
    } samples[] = {
        {"A", ""},         {"{Ctrl+A}", ""},         {"{Ctrl+Alt+Del}", ""}, {"AB", ""},
        {"{Ctrl+A}B", ""}, {"{Return}{Return}", ""}, {"{LShift}", "X"},      {"{Num+}", ""},
    };
    std::string html = "<table class=\"strokes\">\n<tr><th>Press string</th><th>Release "
                       "string</th><th>Button goes down</th><th>Button comes up</th></tr>\n";
    for (const auto& sample : samples) {
        CStrokeCodes codes;
        codes.m_strPressText = sample.pszPress;
        codes.m_strReleaseText = sample.pszRelease;
        codes.MakeCodes(false);
        html += "<tr><td><code>" + HtmlEscape(sample.pszPress) + "</code></td><td>" +
                (*sample.pszRelease ? "<code>" + HtmlEscape(sample.pszRelease) + "</code>"
                                    : std::string("<em>empty</em>")) +
                "</td><td>" + Transitions(codes.m_strPressCodes) + "</td><td>" +
                Transitions(codes.m_strReleaseCodes) + "</td></tr>\n";
    }
    html += "</table>\n";
    return html;
}

std::string PadFigure(const CPadLayout& layout, const std::string& strImage, int nWidth,
                      int nHeight, const std::string& strTitle) {
    constexpr int kFontSize = 17;
    constexpr int kGap = 6;
    // Labels start or end at the leader lines, which reach the picture's edges: leave room.
    std::size_t nLongest = 0;
    for (const CPadButtonInfo& button : layout.m_buttons) {
        nLongest = std::max(nLongest, button.m_strName.size());
    }
    const int nMargin = static_cast<int>(nLongest) * kFontSize * 6 / 10 + 2 * kGap;
    std::string svg = "<svg class=\"padfigure\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" +
                      std::to_string(-nMargin) + " 0 " + std::to_string(nWidth + 2 * nMargin) +
                      " " + std::to_string(nHeight) + "\" role=\"img\" aria-label=\"" +
                      HtmlEscape(strTitle) + "\">\n<title>" + HtmlEscape(strTitle) +
                      "</title>\n<image href=\"" + HtmlEscape(strImage) + "\" x=\"0\" y=\"0\" " +
                      "width=\"" + std::to_string(nWidth) + "\" height=\"" +
                      std::to_string(nHeight) + "\"/>\n";
    for (const CPadButtonInfo& button : layout.m_buttons) {
        const bool bStart = button.m_nLabelAlign != 0;
        svg += "<text x=\"" + std::to_string(button.m_nLabelX + (bStart ? kGap : -kGap)) +
               "\" y=\"" + std::to_string(button.m_nLabelY) + "\" text-anchor=\"" +
               (bStart ? "start" : "end") + "\" dominant-baseline=\"middle\" font-size=\"" +
               std::to_string(kFontSize) + "\">" + HtmlEscape(button.m_strName) + "</text>\n";
    }
    svg += "</svg>";
    return svg;
}

} // namespace vext::manual
