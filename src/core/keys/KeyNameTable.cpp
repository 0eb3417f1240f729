#include "core/keys/KeyNameTable.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

using vext::KeyName;

const std::array<KeyName, vext::kKeyNameCount> KeyNameTable{{
    {0x5B, "L-Win", 0},   {0x5C, "R-Win", 0},   {0x5D, "Apps", 0},    {0x5A, "Z", 46},
    {0x58, "X", 47},      {0x43, "C", 48},      {0x56, "V", 49},      {0x42, "B", 50},
    {0x4E, "N", 51},      {0x4D, "M", 52},      {0x2C, ",", 53},      {0x2E, ".", 54},
    {0x2F, "/", 55},      {0x41, "A", 31},      {0x53, "S", 32},      {0x44, "D", 33},
    {0x46, "F", 34},      {0x47, "G", 35},      {0x48, "H", 36},      {0x4A, "J", 37},
    {0x4B, "K", 38},      {0x4C, "L", 39},      {0x3B, ";", 40},      {0x27, "'", 41},
    {0x51, "Q", 17},      {0x57, "W", 18},      {0x45, "E", 19},      {0x52, "R", 20},
    {0x54, "T", 21},      {0x59, "Y", 22},      {0x55, "U", 23},      {0x49, "I", 24},
    {0x4F, "O", 25},      {0x50, "P", 26},      {0x5B, "[", 27},      {0x5D, "]", 28},
    {0x60, "`", 1},       {0x31, "1", 2},       {0x32, "2", 3},       {0x33, "3", 4},
    {0x34, "4", 5},       {0x35, "5", 6},       {0x36, "6", 7},       {0x37, "7", 8},
    {0x38, "8", 9},       {0x39, "9", 10},      {0x30, "0", 11},      {0x2D, "-", 12},
    {0x3D, "=", 13},      {0x5C, "\\", 29},     {0x26, "Up", 83},     {0x28, "Down", 84},
    {0x25, "Left", 79},   {0x27, "Right", 89},  {0x60, "Num-0", 99},  {0x61, "Num-1", 93},
    {0x62, "Num-2", 98},  {0x63, "Num-3", 103}, {0x64, "Num-4", 92},  {0x65, "Num-5", 97},
    {0x66, "Num-6", 102}, {0x67, "Num-7", 91},  {0x68, "Num-8", 96},  {0x69, "Num-9", 101},
    {0x6A, "Num-*", 100}, {0x6F, "Num-/", 95},  {0x6D, "Num-", 105},  {0x6E, "Num.", 104},
    {0x6B, "Num+", 106},  {0x24, "Home", 80},   {0x2E, "Del", 76},    {0x2D, "Ins", 75},
    {0x23, "End", 81},    {0x21, "PgUp", 85},   {0x22, "PgDn", 86},   {0x20, "Space", 61},
    {0x08, "Bksp", 15},   {0x1B, "Esc", 110},   {0x09, "Tab", 16},    {0x0D, "Return", 43},
    {0x14, "Caps", 30},   {0x90, "NumLk", 90},  {0x13, "Pause", 126}, {0x2C, "PrtSc", 124},
    {0x91, "ScrLk", 125}, {0x11, "Ctrl", 58},   {0x12, "Alt", 60},    {0xA0, "LShift", 44},
    {0xA1, "RShift", 57}, {0x70, "F1", 112},    {0x71, "F2", 113},    {0x72, "F3", 114},
    {0x73, "F4", 115},    {0x74, "F5", 116},    {0x75, "F6", 117},    {0x76, "F7", 118},
    {0x77, "F8", 119},    {0x78, "F9", 120},    {0x79, "F10", 121},   {0x7A, "F11", 122},
    {0x7B, "F12", 123},
}};

namespace {

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

const KeyName* vext::NamedKeyForVirtualKey(uint32_t nVirtualKey) {
    for (const KeyName& row : KeyNameTable) {
        if (row.name.size() >= 2 && row.nCode == nVirtualKey)
            return &row;
    }
    return nullptr;
}

int KeyNumberFromName(std::string_view strName) {
    // Every keystroke of a download is looked up here: by folded name, the first row of a
    // name winning as in the table's order.
    struct Entry {
        std::string name;
        int nKeyNumber;
    };
    static const std::vector<Entry> byName = [] {
        std::vector<Entry> entries;
        for (const KeyName& row : KeyNameTable) {
            std::string name(row.name);
            std::transform(name.begin(), name.end(), name.begin(), FoldAscii);
            entries.push_back({std::move(name), row.nKeyNumber});
        }
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.name < b.name; });
        entries.erase(std::unique(entries.begin(), entries.end(),
                                  [](const Entry& a, const Entry& b) { return a.name == b.name; }),
                      entries.end());
        return entries;
    }();
    char folded[16];
    if (strName.size() > sizeof folded) {
        return 0; // longer than any name
    }
    std::transform(strName.begin(), strName.end(), folded, FoldAscii);
    const std::string_view key(folded, strName.size());
    const auto it = std::lower_bound(byName.begin(), byName.end(), key,
                                     [](const Entry& e, std::string_view k) { return e.name < k; });
    return it != byName.end() && it->name == key ? it->nKeyNumber : 0;
}

int CountKeys(std::string_view strText, int nLast) {
    std::size_t end = strText.size();
    if (nLast >= 0 && static_cast<std::size_t>(nLast) < end)
        end = static_cast<std::size_t>(nLast) + 1;

    int count = 0;
    bool inGroup = false;
    for (std::size_t i = 0; i < end; ++i) {
        const char c = strText[i];
        if (c == '{') {
            ++count;
            inGroup = true;
        } else if (c == '}') {
            inGroup = false;
        } else if (!inGroup && !IsUtf8Continuation(c)) {
            ++count;
        }
    }
    return count;
}
