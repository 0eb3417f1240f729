#pragma once

// The pad configuration (pads.conf): which pad type sits in a slot, as the driver tells the
// configurator, and which slot a pad is pinned to. A pad read as a game controller (by
// position) is taken for a Twin-Stick Pad; any other with 10 or more buttons for a Corvel Pad,
// else for a Standard Vext Pad, unless the configuration names the pad. The configuration is a
// text file of lines
//     <pad name, SDL GUID or device path> = <setting>[, <setting>]
// with the settings standard | corvel | twin | 0 | 1 | 2 (the type) and "slot N" (N from 1 to
// 4), and "#" starting a comment line. Names and GUIDs compare without regard to ASCII case; a path
// also matches through symbolic links (/dev/input/by-id/...). The first line that matches a pad and
// has the setting asked for counts.

#include "core/pad/PadTypes.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vext {

inline constexpr int kCorvelMinButtons = 10;

// How the configuration may name a pad; empty fields match nothing.
struct PadKey {
    std::string_view name;
    std::string_view guid;
    std::string_view path;
};

class PadTypeRule {
public:
    // Reads configuration text; lines it cannot read are skipped and described in *pWarnings.
    void Parse(std::string_view text, std::vector<std::string>* pWarnings);

    int TypeFor(std::string_view name, int nButtons, bool bPositional = false) const;
    int TypeFor(const PadKey& pad, int nButtons, bool bPositional = false) const;
    // The type a line of the configuration gives the pad, if one does.
    std::optional<int> ConfiguredType(const PadKey& pad) const;

    // The slot (1 to 4) the pad is pinned to, or 0; *pnLine (when given) is the pinning line.
    int PinnedSlot(const PadKey& pad, int* pnLine = nullptr) const;
    // Slots some line pins a pad to, index 0 for slot 1.
    std::array<bool, 4> PinnedSlots() const;

    size_t OverrideCount() const { return m_entries.size(); }

    // $XDG_CONFIG_HOME/vext/pads.conf, else ~/.config/vext/pads.conf.
    static std::string DefaultPath();

private:
    struct Entry {
        std::string key; // folded name or GUID, or a path as written
        int nType = -1;  // -1: no type on this line
        int nSlot = 0;   // 0: no slot on this line
        int nLine = 0;
    };

    static bool Matches(const Entry& entry, const PadKey& pad);

    std::vector<Entry> m_entries;
};

} // namespace vext
