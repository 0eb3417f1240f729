#include "core/keys/StrokeCodes.h"

#include "core/keys/KeyNameTable.h"

namespace {

constexpr int kUpBit = 0x80;

std::string CodeString(int nCode) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return {kHex[(nCode >> 4) & 0xF], kHex[nCode & 0xF], ' '};
}

// "{Num+}" names the keypad plus: a "+" right after exactly "Num" is part of the name.
bool IsNumPrefix(const std::string& strName) {
    return strName.size() == 3 && (strName[0] == 'N' || strName[0] == 'n') &&
           (strName[1] == 'U' || strName[1] == 'u') && (strName[2] == 'M' || strName[2] == 'm');
}

// The first byte index from which CountKeys reaches the text's total: the start of its last key.
// Counts only grow with the index, so a binary search finds it.
std::size_t LastKeyStart(std::string_view strText) {
    const int total = CountKeys(strText, -1);
    std::size_t lo = 0;
    std::size_t hi = strText.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (CountKeys(strText, static_cast<int>(mid)) < total)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// Reads one text into strCodes. With bHoldLast the up codes of the last key are held back and
// returned; otherwise every key goes down and up at once and the result is empty.
std::string ReadText(std::string_view strText, bool bHoldLast, std::string& strCodes) {
    const std::size_t lastStart = bHoldLast ? LastKeyStart(strText) : strText.size();
    std::string pending;
    std::string name;
    bool inGroup = false;

    for (std::size_t i = 0; i < strText.size(); ++i) {
        const char c = strText[i];
        const bool last = i >= lastStart;
        if (c == '{') {
            // Groups do not nest: a second "{" starts afresh.
            inGroup = true;
            name.clear();
            pending.clear();
        } else if (inGroup) {
            if (c == '}' || (c == '+' && !IsNumPrefix(name))) {
                if (const int k = KeyNumberFromName(name); k > 0) {
                    strCodes += CodeString(k);
                    pending.insert(0, CodeString(k | kUpBit));
                }
                if (c == '}') {
                    if (!last) {
                        strCodes += pending;
                        pending.clear();
                    }
                    inGroup = false;
                }
                name.clear();
            } else {
                name += c;
            }
        } else if (c != '+' && c != '}') {
            if (const int k = KeyNumberFromName(std::string_view(&c, 1)); k > 0) {
                strCodes += CodeString(k);
                pending = CodeString(k | kUpBit);
                if (!last) {
                    strCodes += pending;
                    pending.clear();
                }
            }
        }
    }

    if (!bHoldLast) {
        // A group left open at the end still lets go of the keys it pressed.
        strCodes += pending;
        pending.clear();
    }
    return pending;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

uint8_t ReadPair(char a, char b) {
    const char pair[2] = {a, b};
    std::size_t i = 0;
    while (i < 2 && IsSpace(pair[i]))
        ++i;
    int value = 0;
    for (; i < 2; ++i) {
        const int digit = HexDigit(pair[i]);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return static_cast<uint8_t>(value);
}

} // namespace

void CStrokeCodes::MakeCodes(bool bJoin) {
    m_strPressCodes.clear();
    m_strReleaseCodes = ReadText(m_strPressText, true, m_strPressCodes);
    ReadText(m_strReleaseText, false, m_strReleaseCodes);
    if (bJoin) {
        m_strPressCodes += m_strReleaseCodes;
        m_strReleaseCodes.clear();
    }
}

std::size_t CodesToBytes(std::string_view strCodes, std::span<uint8_t> buffer) {
    std::size_t count = strCodes.size() / 3;
    if (count > buffer.size())
        count = buffer.size();
    for (std::size_t k = 0; k < count; ++k)
        buffer[k] = ReadPair(strCodes[3 * k], strCodes[3 * k + 1]);
    return count;
}

std::vector<uint8_t> CodesToBytes(std::string_view strCodes) {
    std::vector<uint8_t> bytes(strCodes.size() / 3);
    CodesToBytes(strCodes, std::span<uint8_t>(bytes));
    return bytes;
}
