#pragma once

// Application-wide state the core's rules read: the default pad type of new key sets, whether the
// program runs a command-line mode without windows, the pad button layout table and the
// emulation state kept while a function list has the focus.

namespace vext {

class PadLayoutTable;

struct AppState {
    int m_nDefaultPadType = 0;
    bool m_bSilent = false;
    const PadLayoutTable* m_pPadLayouts = nullptr;
    // The driver's emulation state to restore when the function list loses the focus, and
    // whether a function list has the focus (the emulation toggle then changes only the former).
    int m_bSavedEmulation = 0;
    int m_bListHasFocus = 0;
};

// The one instance for the process. Tests set and restore the fields they rely on.
AppState& TheAppState();

} // namespace vext
