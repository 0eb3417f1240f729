#pragma once

// The keyboard as the window system reports it, for the keystroke capture. Ctrl, Alt and Shift
// are read from the key event being handled (its modifiers are the keys held as it happened),
// else asked of the window system. Characters come from the active layout on X11 and on Wayland,
// else from the US layout.

#include "core/keys/KeyboardState.h"
#include "core/keys/UsKeyboardState.h"

#include <cstdint>
#include <map>

#include <Qt>

class QKeyEvent;

namespace vext {

class QtKeyboardState final : public IKeyboardState {
public:
    static QtKeyboardState& Instance();

    bool IsCtrlDown() const override;
    bool IsAltDown() const override;
    bool IsShiftDown() const override;
    char32_t CharForVirtualKey(uint32_t nVirtualKey) const override;

    // Brackets the handling of one key event.
    void BeginEvent(const QKeyEvent& event, uint32_t nVirtualKey);
    void EndEvent() { m_bInEvent = false; }

private:
    Qt::KeyboardModifiers CurrentModifiers() const;

    bool m_bInEvent = false;
    Qt::KeyboardModifiers m_eventModifiers;
    // The native key code and keysym each virtual key last came from: the layout is asked
    // about that key.
    struct KeyOrigin {
        uint32_t nCode = 0;
        uint32_t nKeySym = 0;
    };
    std::map<uint32_t, KeyOrigin> m_origins;
    UsKeyboardState m_us;
};

} // namespace vext
