#include "core/games/GnomeReport.h"

#include "core/games/BusText.h"

namespace vext {
namespace {

constexpr std::string_view kTurnOn =
    "GNOME: turn on the VextKey extension: gnome-extensions enable focus@vextkey";
constexpr std::string_view kLogIn = ", then log out and in (GNOME Shell has not loaded it)";
// The kernel's pids stay below 2^22.
constexpr uint32_t kMaxPid = 4'194'304;

} // namespace

FocusedWindow WindowFromGnome(std::string_view wmClass, std::string_view title, uint32_t nPid) {
    FocusedWindow window;
    window.bPresent = true;
    window.nPid = nPid > 0 && nPid <= kMaxPid ? static_cast<int32_t>(nPid) : 0;
    window.strId =
        window.nPid > 0 ? "of pid " + std::to_string(window.nPid) : std::string("of GNOME Shell");
    if (!wmClass.empty()) {
        window.classes.push_back(BoundedUtf8(wmClass, kMaxGnomeClass));
    }
    window.strTitle = BoundedUtf8(title, kMaxGnomeTitle);
    return window;
}

GnomeExtensionState GnomeExtensionStateFrom(bool bHasState, double dState) {
    if (!bHasState) {
        return GnomeExtensionState::kUnknown;
    }
    if (dState == 1) {
        return GnomeExtensionState::kEnabled;
    }
    if (dState == 3) {
        return GnomeExtensionState::kError;
    }
    if (dState == 4) {
        return GnomeExtensionState::kOutOfDate;
    }
    return GnomeExtensionState::kDisabled;
}

std::string GnomeExtensionAdvice(GnomeExtensionState state) {
    switch (state) {
    case GnomeExtensionState::kEnabled:
        return {};
    case GnomeExtensionState::kUnknown:
        return std::string(kTurnOn) + std::string(kLogIn);
    case GnomeExtensionState::kDisabled:
        return std::string(kTurnOn);
    case GnomeExtensionState::kError:
        return "GNOME: the VextKey extension failed in GNOME Shell (journalctl --user -b "
               "/usr/bin/gnome-shell says why)";
    case GnomeExtensionState::kOutOfDate:
        return "GNOME: the VextKey extension installed is not the one for this GNOME Shell";
    }
    return {};
}

bool AdviceAsksToEnable(std::string_view focusStatus) {
    return focusStatus.find(kTurnOn) != std::string_view::npos;
}

bool AdviceAsksToLogIn(std::string_view focusStatus) {
    return focusStatus.find(kLogIn) != std::string_view::npos;
}

} // namespace vext
