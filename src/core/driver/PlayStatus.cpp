#include "core/driver/PlayStatus.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/WireWords.h"
#include "core/platform/LineText.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace vext {
namespace {

// Eight fields of this size and four slots stay within kMaxPlayStatusText.
constexpr size_t kMaxField = 440;
constexpr size_t kMaxSlotField = 100;
constexpr int kMaxPageRequests = 64;

// Escaped, then cut at a character boundary (never inside an escape's UTF-8 neighbour).
std::string FieldValue(std::string_view value, size_t nMax = kMaxField) {
    std::string text = EscapeForLine(value);
    if (text.size() > nMax) {
        size_t nCut = nMax;
        while (nCut > 0 && (static_cast<uint8_t>(text[nCut]) & 0xC0) == 0x80) {
            --nCut;
        }
        text.resize(nCut);
        text += "...";
    }
    return text;
}

} // namespace

std::string EncodePlayStatus(const PlayStatus& status) {
    std::string text;
    const auto field = [&text](std::string_view name, std::string_view value,
                               size_t nMax = kMaxField) {
        text += name;
        text += '\t';
        text += FieldValue(value, nMax);
        text += '\n';
    };
    field("set", status.strKeySet);
    field("rule", std::to_string(status.nRule));
    field("match", status.strMatch);
    field("window", status.strWindow);
    field("failed", std::to_string(status.nFailedRule));
    field("problem", status.strProblem);
    field("focus", status.strFocus);
    if (!status.strLastWindow.empty()) {
        field("last", status.strLastWindow);
    }
    if (status.bUnloaded) {
        field("unloaded", "1");
    }
    for (size_t i = 0; status.bSlotsKnown && i < status.slotPads.size(); ++i) {
        field("slot" + std::to_string(i + 1), status.slotPads[i], kMaxSlotField);
    }
    return text.size() <= kMaxPlayStatusText ? text : text.substr(0, kMaxPlayStatusText);
}

bool DecodePlayStatus(std::string_view text, PlayStatus* pStatus) {
    PlayStatus status;
    const auto number = [](std::string_view value, int* pn) {
        const auto result = std::from_chars(value.data(), value.data() + value.size(), *pn);
        return result.ec == std::errc() && result.ptr == value.data() + value.size() && *pn >= 0;
    };
    bool bSawSet = false;
    while (!text.empty()) {
        const size_t nEnd = text.find('\n');
        if (nEnd == std::string_view::npos) {
            return false; // every line ends: a cut text is no answer
        }
        const std::string_view line = text.substr(0, nEnd);
        text.remove_prefix(nEnd + 1);
        const size_t nTab = line.find('\t');
        if (nTab == std::string_view::npos) {
            return false;
        }
        const std::string_view name = line.substr(0, nTab);
        // The peer's text goes to line-based output: escaped again, whatever it claims.
        const std::string value = EscapeForLine(line.substr(nTab + 1));
        if (name == "set") {
            status.strKeySet = value;
            bSawSet = true;
        } else if (name == "rule") {
            if (!number(value, &status.nRule)) {
                return false;
            }
        } else if (name == "match") {
            status.strMatch = value;
        } else if (name == "window") {
            status.strWindow = value;
        } else if (name == "failed") {
            if (!number(value, &status.nFailedRule)) {
                return false;
            }
        } else if (name == "problem") {
            status.strProblem = value;
        } else if (name == "focus") {
            status.strFocus = value;
        } else if (name == "last") {
            status.strLastWindow = value;
        } else if (name == "unloaded") {
            status.bUnloaded = value == "1";
        } else if (name.size() == 5 && name.starts_with("slot") && name[4] >= '1' &&
                   name[4] <= '4') {
            status.slotPads[static_cast<size_t>(name[4] - '1')] = value;
            status.bSlotsKnown = true;
        }
    }
    if (!bSawSet) {
        return false;
    }
    *pStatus = std::move(status);
    return true;
}

std::vector<uint8_t> PlayStatusPage(std::string_view text, uint32_t nSerial,
                                    std::span<const uint8_t> request) {
    const uint32_t nOffset = request.size() >= 4 ? GetU32(request, 0) : 0;
    const auto nLength = static_cast<uint32_t>(std::min<size_t>(text.size(), kMaxPlayStatusText));
    std::vector<uint8_t> page;
    PutU32(nLength, &page);
    PutU32(nSerial, &page);
    if (nOffset < nLength) {
        const size_t nTake =
            std::min<size_t>(kPlayStatusPageSize - kPlayStatusHeaderSize, nLength - nOffset);
        page.insert(page.end(), text.begin() + nOffset, text.begin() + nOffset + nTake);
    }
    return page;
}

bool QueryPlayStatus(PlayStatus* pStatus) {
    std::string text;
    uint32_t nSerial = 0;
    uint32_t nLength = 0;
    for (int nRequest = 0; nRequest < kMaxPageRequests; ++nRequest) {
        std::array<uint8_t, kPlayStatusPageSize> buffer{};
        const auto nOffset = static_cast<uint32_t>(text.size());
        for (size_t i = 0; i < 4; ++i) {
            buffer[i] = static_cast<uint8_t>(nOffset >> (8 * i));
        }
        uint32_t nSize = kPlayStatusPageSize;
        if (DeviceQuery(VEXT_IOCTL_GET_PLAY_STATUS, buffer.data(), &nSize) == 0 ||
            nSize < kPlayStatusHeaderSize) {
            return false;
        }
        const std::span<const uint8_t> page(buffer.data(), nSize);
        const uint32_t nPageLength = GetU32(page, 0);
        const uint32_t nPageSerial = GetU32(page, 4);
        if (nPageLength > kMaxPlayStatusText) {
            return false;
        }
        if (nOffset > 0 && (nPageSerial != nSerial || nPageLength != nLength)) {
            text.clear(); // it changed between two pages: start again
            nSerial = nPageSerial;
            nLength = nPageLength;
            continue;
        }
        nSerial = nPageSerial;
        nLength = nPageLength;
        const std::span<const uint8_t> bytes = page.subspan(kPlayStatusHeaderSize);
        if (bytes.empty() && text.size() < nLength) {
            return false;
        }
        text.append(bytes.begin(), bytes.end());
        if (text.size() >= nLength) {
            text.resize(nLength);
            return DecodePlayStatus(text, pStatus);
        }
    }
    return false;
}

std::vector<std::string> DescribePlayStatus(const PlayStatus& status) {
    std::string set = status.strKeySet.empty() ? "none" : "\"" + status.strKeySet + "\"";
    std::string why;
    if (status.nRule > 0) {
        why = "rule " + std::to_string(status.nRule) + ": " + status.strMatch;
    } else if (status.bUnloaded) {
        why = "unloaded; game key sets resume at the next download";
    } else if (status.nFailedRule > 0) {
        why = "default; rule " + std::to_string(status.nFailedRule) +
              "'s key set cannot be read: " + status.strProblem;
    } else {
        why = "default";
    }
    std::vector<std::string> lines = {
        "key set in play: " + set + " (" + why + ")",
        "focus: " + (status.strFocus.empty() ? std::string("unknown") : status.strFocus)};
    // What rules may match it by, where nothing else tells (on Wayland, the app_id).
    if (!status.strLastWindow.empty()) {
        lines.push_back("last window of another program: " + status.strLastWindow);
    }
    return lines;
}

std::vector<std::string> DescribeSlots(const PlayStatus& status) {
    std::vector<std::string> lines;
    for (size_t i = 0; status.bSlotsKnown && i < status.slotPads.size(); ++i) {
        lines.push_back("slot " + std::to_string(i + 1) + ": " +
                        (status.slotPads[i].empty() ? std::string("none") : status.slotPads[i]));
    }
    return lines;
}

} // namespace vext
