#pragma once

// Turns keystroke text into key codes, the form the driver consumes: one byte per key
// transition, the key number going down and the key number + 0x80 coming up. Code strings write
// each code as "%02X ".

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CStrokeCodes {
public:
    std::string m_strPressText;    // a press string or one step string
    std::string m_strReleaseText;  // a release string; empty for a step string
    std::string m_strPressCodes;   // out
    std::string m_strReleaseCodes; // out

    // Fills both code strings from both texts. The last key of the press text is left down: its
    // up codes open the release codes. With bJoin the release codes follow the press codes and
    // m_strReleaseCodes ends up empty.
    void MakeCodes(bool bJoin);
};

// One byte per "%02X " group, for exactly size / 3 groups (a trailing partial group is ignored).
// Each pair reads like scanf's "%2X" on those two characters alone: leading white space is
// skipped and hex digits of either case are taken up to the first other character. No sign or
// "0x" is accepted, and a pair without any digit gives 0.
std::vector<uint8_t> CodesToBytes(std::string_view strCodes);

// The same into a caller's buffer: writes min(size / 3, buffer size) bytes and returns that
// count; never writes past the buffer.
std::size_t CodesToBytes(std::string_view strCodes, std::span<uint8_t> buffer);
