#include "core/keys/KeyEventToText.h"

#include "core/keys/KeyNameTable.h"
#include "core/keys/KeyboardState.h"

bool g_bLeftShiftDown = false;
bool g_bRightShiftDown = false;
bool g_bLastWasKey = false;

namespace {

constexpr uint32_t kVkShift = 0x10;
constexpr uint32_t kVkCtrl = 0x11;
constexpr uint32_t kVkAlt = 0x12;
constexpr uint32_t kVkLeftShift = 0xA0;
constexpr uint32_t kVkRightShift = 0xA1;
constexpr uint32_t kScanLeftShift = 0x2A;
constexpr uint32_t kScanRightShift = 0x36;
constexpr uint32_t kKeyUpBit = 0x80000000u;

// The modifiers held while the last key that is not a modifier was down. A chord typed quickly
// (by a macro keyboard, or xdotool) lets go of its modifiers before its key comes up, yet they
// were held as it was typed.
struct Chord {
    uint32_t nKey = 0;
    bool bCtrl = false;
    bool bAlt = false;
    bool bLeftShift = false;
    bool bRightShift = false;
};
Chord g_chord;

bool IsModifier(uint32_t nVirtualKey) {
    return nVirtualKey == kVkCtrl || nVirtualKey == kVkAlt || nVirtualKey == kVkLeftShift ||
           nVirtualKey == kVkRightShift;
}

// Braces would break the text's groups, and control characters cannot be seen in a field.
bool CanStandInText(char32_t ch) {
    if (ch < 0x20 || ch == 0x7F || ch == U'{' || ch == U'}')
        return false;
    return ch <= 0x10FFFF && !(ch >= 0xD800 && ch <= 0xDFFF);
}

void AppendUtf8(std::string& str, char32_t ch) {
    if (ch < 0x80) {
        str += static_cast<char>(ch);
    } else if (ch < 0x800) {
        str += static_cast<char>(0xC0 | (ch >> 6));
        str += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        str += static_cast<char>(0xE0 | (ch >> 12));
        str += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        str += static_cast<char>(0xF0 | (ch >> 18));
        str += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        str += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

} // namespace

void KeyEventToText(uint32_t nVirtualKey, uint32_t nKeyData, std::string& strText,
                    const vext::IKeyboardState& state) {
    strText.clear();
    const bool bUp = (nKeyData & kKeyUpBit) != 0;

    if (nVirtualKey == kVkShift) {
        const uint32_t scanCode = (nKeyData >> 16) & 0xFF;
        if (scanCode == kScanLeftShift) {
            nVirtualKey = kVkLeftShift;
            g_bLeftShiftDown = !bUp;
        } else if (scanCode == kScanRightShift) {
            nVirtualKey = kVkRightShift;
            g_bRightShiftDown = !bUp;
        }
    }
    const bool bModifier = IsModifier(nVirtualKey);
    // Shift in the modifier state with no Shift key down counts as the left one, as typed.
    const bool bStateShift =
        !bModifier && !g_bLeftShiftDown && !g_bRightShiftDown && state.IsShiftDown();

    if (!bUp) {
        g_bLastWasKey = !bModifier;
        if (!bModifier) {
            // A repeated down of the same key adds to what its chord held.
            if (g_chord.nKey != nVirtualKey)
                g_chord = Chord{nVirtualKey};
            g_chord.bCtrl = g_chord.bCtrl || state.IsCtrlDown();
            g_chord.bAlt = g_chord.bAlt || state.IsAltDown();
            g_chord.bLeftShift = g_chord.bLeftShift || g_bLeftShiftDown || bStateShift;
            g_chord.bRightShift = g_chord.bRightShift || g_bRightShiftDown;
        }
        return;
    }
    // A modifier released after a key was typed under it has already served in that keystroke.
    if (bModifier && g_bLastWasKey)
        return;

    Chord held;
    if (!bModifier && g_chord.nKey == nVirtualKey) {
        held = g_chord;
        g_chord = Chord{};
    }
    const bool bCtrl = g_bLastWasKey && (state.IsCtrlDown() || held.bCtrl);
    const bool bAlt = g_bLastWasKey && (state.IsAltDown() || held.bAlt);
    const bool bLeftShift = g_bLeftShiftDown || held.bLeftShift || bStateShift;
    const bool bRightShift = g_bRightShiftDown || held.bRightShift;
    std::string text;
    // Appending, not assigning a literal: GCC 12 at -O3 warns falsely (-Wrestrict) on the latter.
    if (bCtrl || bAlt || bLeftShift || bRightShift) {
        text += '{';
        if (bCtrl)
            text += "Ctrl+";
        if (bAlt)
            text += "Alt+";
        if (bLeftShift)
            text += "LShift+";
        if (bRightShift)
            text += "RShift+";
    }

    if (const vext::KeyName* row = vext::NamedKeyForVirtualKey(nVirtualKey)) {
        if (text.empty())
            text += '{';
        text += row->name;
        text += '}';
        strText = text;
        return;
    }

    char32_t ch = state.CharForVirtualKey(nVirtualKey);
    g_bLastWasKey = !bModifier;
    if (!CanStandInText(ch))
        return;
    if (ch >= U'a' && ch <= U'z')
        ch = ch - U'a' + U'A';
    AppendUtf8(text, ch);
    if (text.front() == '{')
        text += '}';
    strText = text;
}

void KeyEventToText(uint32_t nVirtualKey, uint32_t nKeyData, std::string& strText) {
    KeyEventToText(nVirtualKey, nKeyData, strText, vext::CurrentKeyboardState());
}

namespace vext {

void ResetCaptureFlags() {
    g_bLeftShiftDown = false;
    g_bRightShiftDown = false;
    g_bLastWasKey = false;
    g_chord = Chord{};
}

} // namespace vext
