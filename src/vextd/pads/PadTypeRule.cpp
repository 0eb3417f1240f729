#include "vextd/pads/PadTypeRule.h"

#include "vextd/common/ConfigLines.h"
#include "vextd/common/DriverOptions.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace vext {
namespace {

std::string Fold(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// "slot N" (folded) as N from 1 to 4, else 0.
int SlotSetting(std::string_view setting) {
    if (setting.rfind("slot", 0) != 0) {
        return 0;
    }
    const std::string_view n = TrimConfig(setting.substr(4));
    return n.size() == 1 && n[0] >= '1' && n[0] <= '4' ? n[0] - '0' : 0;
}

} // namespace

void PadTypeRule::Parse(std::string_view text, std::vector<std::string>* pWarnings) {
    ForEachConfigLine(text, [&](int nLine, std::string_view line) {
        // The last "=" splits, so pad names may contain one.
        const size_t nEqual = line.rfind('=');
        Entry entry;
        entry.nLine = nLine;
        bool bOk = nEqual != std::string_view::npos;
        const std::string_view key = bOk ? TrimConfig(line.substr(0, nEqual)) : std::string_view();
        std::string_view settings = bOk ? line.substr(nEqual + 1) : std::string_view();
        bOk = !key.empty();
        if (bOk && IsDriverSetting(key)) {
            return; // read by ReadDriverSettings
        }
        while (bOk && !settings.empty()) {
            const size_t nComma = settings.find(',');
            const std::string setting = Fold(TrimConfig(settings.substr(0, nComma)));
            settings =
                nComma == std::string_view::npos ? std::string_view() : settings.substr(nComma + 1);
            if (const std::optional<int> nType = PadTypeFromWord(setting)) {
                entry.nType = *nType;
            } else if (const int nSlot = SlotSetting(setting); nSlot > 0) {
                entry.nSlot = nSlot;
            } else {
                bOk = false;
            }
        }
        if (!bOk || (entry.nType < 0 && entry.nSlot == 0)) {
            pWarnings->push_back("pad configuration line " + std::to_string(nLine) +
                                 " is not \"<pad name, GUID or path> = "
                                 "standard|corvel|twin|slot N\"; "
                                 "skipped");
            return;
        }
        entry.key = key.front() == '/' ? std::string(key) : Fold(key);
        m_entries.push_back(std::move(entry));
    });
}

bool PadTypeRule::Matches(const Entry& entry, const PadKey& pad) {
    if (entry.key.front() != '/') {
        return (!pad.name.empty() && entry.key == Fold(TrimConfig(pad.name))) ||
               (!pad.guid.empty() && entry.key == Fold(pad.guid));
    }
    if (pad.path.empty()) {
        return false;
    }
    if (entry.key == pad.path) {
        return true;
    }
    // Stable names (/dev/input/by-id/..., by-path/...) are links to the node of the moment.
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(entry.key, error);
    return !error && target == std::filesystem::path(pad.path);
}

int PadTypeRule::TypeFor(std::string_view name, int nButtons, bool bPositional) const {
    return TypeFor(PadKey{name, {}, {}}, nButtons, bPositional);
}

int PadTypeRule::TypeFor(const PadKey& pad, int nButtons, bool bPositional) const {
    if (const std::optional<int> nType = ConfiguredType(pad)) {
        return *nType;
    }
    if (bPositional) {
        return kPadTwinStick;
    }
    return nButtons >= kCorvelMinButtons ? kPadCorvel : kPadStandard;
}

std::optional<int> PadTypeRule::ConfiguredType(const PadKey& pad) const {
    for (const Entry& entry : m_entries) {
        if (entry.nType >= 0 && Matches(entry, pad)) {
            return entry.nType;
        }
    }
    return std::nullopt;
}

int PadTypeRule::PinnedSlot(const PadKey& pad, int* pnLine) const {
    for (const Entry& entry : m_entries) {
        if (entry.nSlot > 0 && Matches(entry, pad)) {
            if (pnLine != nullptr) {
                *pnLine = entry.nLine;
            }
            return entry.nSlot;
        }
    }
    return 0;
}

std::array<bool, 4> PadTypeRule::PinnedSlots() const {
    std::array<bool, 4> pinned{};
    for (const Entry& entry : m_entries) {
        if (entry.nSlot > 0) {
            pinned[static_cast<size_t>(entry.nSlot - 1)] = true;
        }
    }
    return pinned;
}

std::string PadTypeRule::DefaultPath() {
    const char* pConfig = std::getenv("XDG_CONFIG_HOME");
    if (pConfig != nullptr && pConfig[0] == '/') {
        return std::string(pConfig) + "/vext/pads.conf";
    }
    const char* pHome = std::getenv("HOME");
    return std::string(pHome != nullptr ? pHome : "") + "/.config/vext/pads.conf";
}

} // namespace vext
