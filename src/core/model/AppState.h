#pragma once

// Application-wide state the core's rules read: the default pad type of new key sets, whether the
// program runs a command-line mode without windows, and the pad button layout table.

namespace vext {

class PadLayoutTable;

struct AppState {
    int m_nDefaultPadType = 0;
    bool m_bSilent = false;
    const PadLayoutTable* m_pPadLayouts = nullptr;
};

// The one instance for the process. Tests set and restore the fields they rely on.
AppState& TheAppState();

} // namespace vext
