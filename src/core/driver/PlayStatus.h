#pragma once

// Which key set the driver plays and why: the downloaded one (the default), or a game's that a
// rule of games.conf chose for the focused window; and how the driver follows the focus. The
// answer to device-channel code 32, read by `vextd --status`, `vextkey --status` and the
// configurator's status bar. The wire format is in docs/device-channel.md.

#include "core/driver/DeviceCodes.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Code 32's buffer: 128 bytes in (the first four: the offset of the page asked for), 128 out.

namespace vext {

struct PlayStatus {
    std::string strKeySet; // the name of the key set in play; empty when none is
    int nRule = 0;         // the rule (from 1) that chose it; 0 for the downloaded key set
    std::string strMatch;  // what the rule matched: "class steam_app_244210"
    std::string strWindow; // the title of the window it matched, or whose rule failed
    // A rule matched but its key set cannot be read, so the downloaded one plays: why.
    int nFailedRule = 0;
    std::string strProblem;
    // How the focus is followed: "X11", "unavailable (no X display)", ...
    std::string strFocus;
    // The last window of another program than VextKey that had the focus, as rules see it:
    // "\"Title\" (class \"steam_app_9\", program \"hl2.exe\")"; empty before any.
    std::string strLastWindow;
    // The downloaded key set was unloaded: nothing plays, game key sets neither, until the next
    // download.
    bool bUnloaded = false;
    // Each slot's pad: "Twin-Stick Pad (Xbox 360 Controller, game controller)", empty for none;
    // bSlotsKnown false when the driver does not tell (an older one).
    std::array<std::string, 4> slotPads;
    bool bSlotsKnown = false;

    bool operator==(const PlayStatus&) const = default;
};

inline constexpr uint32_t kPlayStatusPageSize = 128;
inline constexpr uint32_t kPlayStatusHeaderSize = 8;
// No status text is longer: fields are cut to fit.
inline constexpr uint32_t kMaxPlayStatusText = 4096;

// The status as text: one "field<TAB>value" line per field, each value free of control
// characters. Values are cut so the whole stays within kMaxPlayStatusText.
std::string EncodePlayStatus(const PlayStatus& status);
// Reads that text; unknown fields are skipped. False when it is not such a text.
bool DecodePlayStatus(std::string_view text, PlayStatus* pStatus);

// The driver's answer to one page request (a buffer of kPlayStatusPageSize bytes; the caller
// refuses smaller ones): the text's length and serial, then up to 120 bytes of it from the
// offset asked for.
std::vector<uint8_t> PlayStatusPage(std::string_view text, uint32_t nSerial,
                                    std::span<const uint8_t> request);

// Asks the running driver, a page at a time. False when no driver answers or it does not know
// the code; then nothing is known.
bool QueryPlayStatus(PlayStatus* pStatus);

// "key set in play: "Racing" (rule 2: class steam_app_244210)" and "focus: X11".
std::vector<std::string> DescribePlayStatus(const PlayStatus& status);

// "slot 1: Twin-Stick Pad (Xbox 360 Controller, game controller)", ..., "slot 4: none"; nothing
// when the driver does not tell.
std::vector<std::string> DescribeSlots(const PlayStatus& status);

} // namespace vext
