#pragma once

// Turns the key events of a keystroke field's keyboard hook into keystroke text. A keystroke is
// finished when its key comes up; modifiers held under it, when it went down or came up, join it
// as a group ("{Ctrl+Return}"), and a modifier pressed and released alone is a keystroke of its
// own ("{Ctrl}").

#include <cstdint>
#include <string>

namespace vext {
class IKeyboardState;
}

// Capture state shared by every keystroke field for the life of the process.
extern bool g_bLeftShiftDown;
extern bool g_bRightShiftDown;
extern bool g_bLastWasKey; // the last key-down was of a key that is not a modifier

// nKeyData is the hook's key data: scan code in bits 16-23, bit 31 set for a key coming up.
// strText becomes the text of the keystroke just finished, or empty. A key for which the layout
// gives no character that keystroke text can hold (0, a control character, "{" or "}") and that
// has no name in the key table yields no text.
void KeyEventToText(uint32_t nVirtualKey, uint32_t nKeyData, std::string& strText,
                    const vext::IKeyboardState& state);

// The same with the installed keyboard state (vext::SetKeyboardState).
void KeyEventToText(uint32_t nVirtualKey, uint32_t nKeyData, std::string& strText);

namespace vext {

// Puts the three capture flags back to their start values (all clear), and forgets the
// modifiers held under the last key.
void ResetCaptureFlags();

} // namespace vext
