#pragma once

// Which pad type sits in a slot, as the driver tells the configurator. A pad with 10 or more
// buttons is taken for a Corvel Pad, any other for a Standard Vext Pad, unless the pad
// configuration names the pad. The configuration is a text file of lines
//     <pad name as the system reports it> = standard | corvel | 0 | 1
// with "#" starting a comment line; names compare without regard to ASCII case, and the first
// line for a name counts.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vext {

inline constexpr int kPadStandard = 0;
inline constexpr int kPadCorvel = 1;
inline constexpr int kCorvelMinButtons = 10;

class PadTypeRule {
public:
    // Reads configuration text; lines it cannot read are skipped and described in *pWarnings.
    void Parse(std::string_view text, std::vector<std::string>* pWarnings);

    // Reads the file at path; a missing file is an empty configuration. False (with a
    // warning) only when the file exists but cannot be read.
    bool Load(const std::string& path, std::vector<std::string>* pWarnings);

    int TypeFor(std::string_view name, int nButtons) const;

    size_t OverrideCount() const { return m_overrides.size(); }

    // $XDG_CONFIG_HOME/vext/pads.conf, else ~/.config/vext/pads.conf.
    static std::string DefaultPath();

private:
    std::vector<std::pair<std::string, int>> m_overrides; // folded name, type
};

} // namespace vext
