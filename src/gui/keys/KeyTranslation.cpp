#include "gui/keys/KeyTranslation.h"

#include <array>
#include <utility>

#include <QKeyEvent>

namespace vext {

namespace {

constexpr uint32_t kVkShift = 0x10;
constexpr uint32_t kScanLeftShift = 0x2A;
constexpr uint32_t kScanRightShift = 0x36;
// xkb keysyms, which Qt passes on as the native virtual key on X11 and on Wayland alike.
constexpr uint32_t kKeySymShiftR = 0xFFE2;
constexpr uint32_t kKeySymKeypadFirst = 0xFF80; // KP_Space
constexpr uint32_t kKeySymKeypadLast = 0xFFBD;  // KP_Equal
// xkb key codes are the evdev codes plus 8; evdev codes of the main block are PC scan codes.
constexpr uint32_t kXkbOffset = 8;
constexpr uint32_t kLastPlainPcScanCode = 0x58;

// Native key code -> virtual key of the key at that place on a US keyboard.
constexpr std::array<std::pair<uint32_t, uint32_t>, 48> kPositions{{
    {10, '1'}, {11, '2'},  {12, '3'},  {13, '4'},  {14, '5'},  {15, '6'},  {16, '7'},  {17, '8'},
    {18, '9'}, {19, '0'},  {20, 0xBD}, {21, 0xBB}, {24, 'Q'},  {25, 'W'},  {26, 'E'},  {27, 'R'},
    {28, 'T'}, {29, 'Y'},  {30, 'U'},  {31, 'I'},  {32, 'O'},  {33, 'P'},  {34, 0xDB}, {35, 0xDD},
    {38, 'A'}, {39, 'S'},  {40, 'D'},  {41, 'F'},  {42, 'G'},  {43, 'H'},  {44, 'J'},  {45, 'K'},
    {46, 'L'}, {47, 0xBA}, {48, 0xDE}, {49, 0xC0}, {51, 0xDC}, {52, 'Z'},  {53, 'X'},  {54, 'C'},
    {55, 'V'}, {56, 'B'},  {57, 'N'},  {58, 'M'},  {59, 0xBC}, {60, 0xBE}, {61, 0xBF}, {94, 0xE2},
}};

uint32_t NamedVirtualKey(int key, bool bKeypad) {
    if (bKeypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return 0x60 + static_cast<uint32_t>(key - Qt::Key_0);
        switch (key) {
        case Qt::Key_Asterisk:
            return 0x6A;
        case Qt::Key_Plus:
            return 0x6B;
        case Qt::Key_Minus:
            return 0x6D;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return 0x6E;
        case Qt::Key_Slash:
            return 0x6F;
        default:
            break;
        }
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0x70 + static_cast<uint32_t>(key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0x09;
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_Print:
    case Qt::Key_SysReq:
        return 0x2C;
    case Qt::Key_Clear:
        return 0x0C;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_Shift:
        return kVkShift;
    case Qt::Key_Control:
        return 0x11;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return 0x12;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
        return 0x5B;
    case Qt::Key_Super_R:
        return 0x5C;
    case Qt::Key_Menu:
        return 0x5D;
    case Qt::Key_CapsLock:
        return 0x14;
    case Qt::Key_NumLock:
        return 0x90;
    case Qt::Key_ScrollLock:
        return 0x91;
    case Qt::Key_Space:
        return 0x20;
    default:
        return 0;
    }
}

// Keys of the US layout by the character Qt reports, for events without a native key code.
uint32_t UsVirtualKeyFromQtKey(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<uint32_t>(key);
    switch (key) {
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return 0xBD;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return 0xBB;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return 0xDB;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return 0xDD;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return 0xBA;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return 0xDE;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return 0xC0;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return 0xDC;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return 0xBC;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return 0xBE;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return 0xBF;
    case Qt::Key_Exclam:
        return '1';
    case Qt::Key_At:
        return '2';
    case Qt::Key_NumberSign:
        return '3';
    case Qt::Key_Dollar:
        return '4';
    case Qt::Key_Percent:
        return '5';
    case Qt::Key_AsciiCircum:
        return '6';
    case Qt::Key_Ampersand:
        return '7';
    case Qt::Key_Asterisk:
        return '8';
    case Qt::Key_ParenLeft:
        return '9';
    case Qt::Key_ParenRight:
        return '0';
    default:
        return 0;
    }
}

} // namespace

uint32_t VirtualKeyFromNativeScanCode(uint32_t nNativeScanCode) {
    for (const auto& [code, vk] : kPositions) {
        if (code == nNativeScanCode)
            return vk;
    }
    return 0;
}

uint32_t NativeScanCodeFromVirtualKey(uint32_t nVirtualKey) {
    for (const auto& [code, vk] : kPositions) {
        if (vk == nVirtualKey)
            return code;
    }
    return 0;
}

uint32_t PcScanCodeFromNativeScanCode(uint32_t nNativeScanCode) {
    if (nNativeScanCode <= kXkbOffset || nNativeScanCode - kXkbOffset > kLastPlainPcScanCode)
        return 0;
    return nNativeScanCode - kXkbOffset;
}

HookedKey TranslateKeyEvent(const QKeyEvent& event) {
    const int key = event.key();
    const uint32_t native = event.nativeScanCode();
    const uint32_t keySym = event.nativeVirtualKey();
    // Qt's wayland platform sets no KeypadModifier: the keysym tells a keypad key there.
    const bool bKeypad = event.modifiers().testFlag(Qt::KeypadModifier) ||
                         (keySym >= kKeySymKeypadFirst && keySym <= kKeySymKeypadLast);

    uint32_t vk = NamedVirtualKey(key, bKeypad);
    if (vk == 0 && key >= Qt::Key_A && key <= Qt::Key_Z)
        vk = static_cast<uint32_t>(key);
    if (vk == 0 && native != 0)
        vk = VirtualKeyFromNativeScanCode(native);
    if (vk == 0)
        vk = UsVirtualKeyFromQtKey(key);
    if (vk == 0)
        vk = kVkNone;

    uint32_t scan = PcScanCodeFromNativeScanCode(native);
    // A virtual keyboard (an on-screen keyboard, a remote desktop, wtype) may number its keys as
    // it likes: where the key code is not a Shift key's place, the keysym tells the side.
    if (vk == kVkShift && scan != kScanLeftShift && scan != kScanRightShift)
        scan = keySym == kKeySymShiftR ? kScanRightShift : kScanLeftShift;

    const bool bUp = event.type() == QEvent::KeyRelease;
    uint32_t data = 1u | (scan & 0xFFu) << 16;
    if (event.modifiers().testFlag(Qt::AltModifier) || (key == Qt::Key_Alt && !bUp))
        data |= kKeyDataAlt;
    if (bUp || event.isAutoRepeat())
        data |= kKeyDataPrevious;
    if (bUp)
        data |= kKeyDataUp;
    return {vk, data};
}

} // namespace vext
