#include "core/model/KeySetFile.h"

#include "core/platform/ProfileFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <sys/stat.h>

namespace vext {

namespace {

constexpr bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 99;
}

// One integer conversion the way scanf reads it: white space skipped, an optional sign, for hex
// an optional "0x", then digits, all within maxWidth characters (0: no limit). False when no
// digit was read.
struct Number {
    bool bNegative = false;
    bool bOverflow = false;
    uint64_t nMagnitude = 0;
};

bool ScanNumber(std::string_view s, std::size_t& pos, int base, std::size_t maxWidth, Number& n) {
    while (pos < s.size() && IsSpace(s[pos])) {
        ++pos;
    }
    const std::size_t end = maxWidth == 0 ? s.size() : std::min(s.size(), pos + maxWidth);
    std::size_t i = pos;
    n = Number{};
    if (i < end && (s[i] == '+' || s[i] == '-')) {
        n.bNegative = s[i] == '-';
        ++i;
    }
    if (base == 16 && i + 2 < end && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
        DigitValue(s[i + 2]) < 16) {
        i += 2;
    }
    const std::size_t firstDigit = i;
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    for (; i < end && DigitValue(s[i]) < base; ++i) {
        const auto d = static_cast<uint64_t>(DigitValue(s[i]));
        if (n.nMagnitude > (kMax - d) / static_cast<uint64_t>(base)) {
            n.bOverflow = true;
        } else {
            n.nMagnitude = n.nMagnitude * static_cast<uint64_t>(base) + d;
        }
    }
    if (i == firstDigit) {
        return false;
    }
    pos = i;
    return true;
}

// %X stores strtoul's result in an unsigned int.
uint32_t AsHexField(const Number& n) {
    if (n.bOverflow) {
        return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(n.bNegative ? 0 - n.nMagnitude : n.nMagnitude);
}

// %d stores strtol's (64-bit, clamped) result in an int.
int32_t AsDecimalField(const Number& n) {
    constexpr uint64_t kLongMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    uint64_t bits = 0;
    if (n.bNegative) {
        bits = (n.bOverflow || n.nMagnitude > kLongMax + 1) ? kLongMax + 1 : 0 - n.nMagnitude;
    } else {
        bits = (n.bOverflow || n.nMagnitude > kLongMax) ? kLongMax : n.nMagnitude;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(bits));
}

} // namespace

KeySetOpenCheck CheckKeySetFile(const char* pszPath) {
    KeySetOpenCheck check;
    if (pszPath == nullptr) {
        return check;
    }
    struct stat st {};
    if (::stat(pszPath, &st) != 0) {
        check.verdict = KeySetOpenCheck::kMissingFile;
        check.nMessageId = kIdsFileMissing;
        check.strMessage = pszPath;
        return check;
    }
    ProfileFile file;
    const FileStatus status = file.Load(pszPath);
    if (!status.ok()) {
        check.verdict = KeySetOpenCheck::kCannotRead;
        check.strMessage = status.message;
        return check;
    }
    return CheckKeySetText(file, pszPath);
}

KeySetOpenCheck CheckKeySetText(const ProfileFile& file, const std::string& strPath) {
    KeySetOpenCheck check;
    // A version text that differs is another version's key set; none at all is no key set.
    constexpr const char* kNoVersion = "\n";
    const std::string strVersion = file.GetString("File_Information", "file_version", kNoVersion);
    if (file.LineCount() == 0) {
        check.verdict = KeySetOpenCheck::kNotKeySet;
        check.strMessage = strPath + " is empty (0 bytes): it holds no key set.";
    } else if (strVersion == kNoVersion) {
        check.verdict = KeySetOpenCheck::kNotKeySet;
        check.strMessage = strPath + " is not a VextKey key set.";
    } else if (strVersion != kKeySetFileVersion) {
        check.verdict = KeySetOpenCheck::kOtherVersion;
        check.nMessageId = kIdsOtherFileVersion;
    }
    return check;
}

std::string ProfileFileSource::GetString(std::string_view section, std::string_view key,
                                         std::string_view strDefault) const {
    return m_file.GetString(section, key, strDefault);
}

int32_t ProfileFileSource::GetInt(std::string_view section, std::string_view key,
                                  int32_t nDefault) const {
    return m_file.GetInt(section, key, nDefault);
}

std::size_t ProfileFileSource::LineCount() const {
    return m_file.LineCount();
}

std::size_t ProfileFileSource::CountSections(std::string_view prefix) const {
    return m_file.CountSections(prefix);
}

std::string FormatPlacement(const WindowPlacement& wp) {
    std::string text;
    for (const int32_t value : wp.Values()) {
        char field[12];
        std::snprintf(field, sizeof field, "%X", static_cast<uint32_t>(value));
        if (!text.empty()) {
            text.push_back(' ');
        }
        text.append(field);
    }
    return text;
}

int ScanPlacement(std::string_view text, WindowPlacement& wp) {
    std::size_t pos = 0;
    int nSet = 0;
    for (int32_t* pField : wp.Fields()) {
        Number n;
        if (!ScanNumber(text, pos, 16, 0, n)) {
            break;
        }
        *pField = static_cast<int32_t>(AsHexField(n));
        ++nSet;
    }
    return nSet;
}

std::string FormatMapping(uint32_t nButtonId, int32_t nCookie) {
    char text[32];
    std::snprintf(text, sizeof text, "%08X %d", nButtonId, nCookie);
    return text;
}

bool ScanMapping(std::string_view text, uint32_t& nButtonId, int32_t& nCookie) {
    std::size_t pos = 0;
    Number id;
    Number cookie;
    if (!ScanNumber(text, pos, 16, 8, id) || !ScanNumber(text, pos, 10, 0, cookie)) {
        return false;
    }
    nButtonId = AsHexField(id);
    nCookie = AsDecimalField(cookie);
    return true;
}

std::string FileTitleForCaption(std::string_view strPath) {
    const std::size_t slash = strPath.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? strPath : strPath.substr(slash + 1);
    return std::string(name.substr(0, name.find('.')));
}

} // namespace vext
