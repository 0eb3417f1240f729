#include "core/keys/KeyEventToText.h"

#include "FakeKeyboardState.h"
#include "core/keys/KeyboardState.h"
#include "core/keys/UsKeyboardState.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

constexpr uint32_t kShift = 0x10;
constexpr uint32_t kCtrl = 0x11;
constexpr uint32_t kAlt = 0x12;
constexpr uint32_t kReturn = 0x0D;
constexpr uint32_t kF5 = 0x74;
constexpr uint32_t kDelete = 0x2E;
constexpr uint32_t kNumLock = 0x90;

constexpr uint32_t kScanLeftShift = 0x2A;
constexpr uint32_t kScanRightShift = 0x36;

// One hook event. Ctrl, Alt and Shift are what the asynchronous state reports while it is handled.
struct KeyEvent {
    uint32_t nVirtualKey;
    bool bUp;
    uint32_t nScanCode = 0;
    bool bCtrlHeld = false;
    bool bAltHeld = false;
    bool bShiftHeld = false;
};

KeyEvent Down(uint32_t vk, uint32_t scan = 0) {
    return {vk, false, scan};
}
KeyEvent Up(uint32_t vk, uint32_t scan = 0) {
    return {vk, true, scan};
}
KeyEvent WithCtrl(KeyEvent e) {
    e.bCtrlHeld = true;
    return e;
}
KeyEvent WithAlt(KeyEvent e) {
    e.bAltHeld = true;
    return e;
}
KeyEvent WithShift(KeyEvent e) {
    e.bShiftHeld = true;
    return e;
}

uint32_t KeyData(const KeyEvent& e) {
    return (e.nScanCode << 16) | (e.bUp ? 0xC0000001u : 0x00000001u);
}

class KeyEventToTextTest : public testing::Test {
protected:
    void SetUp() override {
        ResetCaptureFlags();
        for (char32_t c = U'A'; c <= U'Z'; ++c)
            m_keyboard.m_chars[c] = c;
        for (char32_t c = U'0'; c <= U'9'; ++c)
            m_keyboard.m_chars[c] = c;
    }
    void TearDown() override { ResetCaptureFlags(); }

    // The texts of every event, empty ones included, so that a text in the wrong place shows.
    std::vector<std::string> Play(const std::vector<KeyEvent>& events) {
        std::vector<std::string> texts;
        for (const KeyEvent& e : events) {
            m_keyboard.m_bCtrlDown = e.bCtrlHeld;
            m_keyboard.m_bAltDown = e.bAltHeld;
            m_keyboard.m_bShiftDown = e.bShiftHeld;
            std::string text = "stale";
            KeyEventToText(e.nVirtualKey, KeyData(e), text, m_keyboard);
            texts.push_back(text);
        }
        return texts;
    }

    test::FakeKeyboardState m_keyboard;
};

using Texts = std::vector<std::string>;

TEST_F(KeyEventToTextTest, LeftShiftWithA) {
    EXPECT_EQ(Play({Down(kShift, kScanLeftShift), Down('A'), Up('A'), Up(kShift, kScanLeftShift)}),
              (Texts{"", "", "{LShift+A}", ""}));
    EXPECT_FALSE(g_bLeftShiftDown);
}

TEST_F(KeyEventToTextTest, CtrlReturnGivesNothingForTheCtrlRelease) {
    EXPECT_EQ(Play({Down(kCtrl), WithCtrl(Down(kReturn)), WithCtrl(Up(kReturn)), Up(kCtrl)}),
              (Texts{"", "", "{Ctrl+Return}", ""}));
}

TEST_F(KeyEventToTextTest, ModifiersAloneNameThemselves) {
    // The asynchronous state still reports the modifier as held while its own release is handled.
    EXPECT_EQ(Play({Down(kCtrl), WithCtrl(Up(kCtrl))}), (Texts{"", "{Ctrl}"}));
    EXPECT_EQ(Play({Down(kAlt), WithAlt(Up(kAlt))}), (Texts{"", "{Alt}"}));
    EXPECT_EQ(Play({Down(kShift, kScanLeftShift), Up(kShift, kScanLeftShift)}),
              (Texts{"", "{LShift}"}));
    EXPECT_EQ(Play({Down(kShift, kScanRightShift), Up(kShift, kScanRightShift)}),
              (Texts{"", "{RShift}"}));
}

TEST_F(KeyEventToTextTest, NamedKeysAndCharacters) {
    EXPECT_EQ(Play({Down(kF5), Up(kF5)}), (Texts{"", "{F5}"}));
    EXPECT_EQ(Play({Down('7'), Up('7')}), (Texts{"", "7"}));
    EXPECT_EQ(Play({Down(kDelete), Up(kDelete)}), (Texts{"", "{Del}"}));
    EXPECT_EQ(Play({Down(0x2C), Up(0x2C)}), (Texts{"", "{PrtSc}"}));
    EXPECT_EQ(Play({Down(0x60), Up(0x60)}), (Texts{"", "{Num-0}"}));
    EXPECT_EQ(Play({Down(kNumLock), Up(kNumLock)}), (Texts{"", "{NumLk}"}));
    EXPECT_EQ(Play({Down(0x5B), Up(0x5B)}), (Texts{"", "{L-Win}"}));
}

TEST_F(KeyEventToTextTest, RightShiftIsToldApartByScanCode) {
    EXPECT_EQ(
        Play({Down(kShift, kScanRightShift), Down('B'), Up('B'), Up(kShift, kScanRightShift)}),
        (Texts{"", "", "{RShift+B}", ""}));
}

TEST_F(KeyEventToTextTest, BothShiftsJoinInFixedOrder) {
    EXPECT_EQ(Play({Down(kShift, kScanRightShift), Down(kShift, kScanLeftShift), Down(kCtrl),
                    WithCtrl(Down('Q')), WithAlt(WithCtrl(Up('Q')))}),
              (Texts{"", "", "", "", "{Ctrl+Alt+LShift+RShift+Q}"}));
}

TEST_F(KeyEventToTextTest, AutoRepeatedDownsMakeOneKeystroke) {
    EXPECT_EQ(Play({Down('A'), Down('A'), Down('A'), Up('A')}), (Texts{"", "", "", "A"}));
    EXPECT_EQ(Play({Down(kShift, kScanLeftShift), Down(kShift, kScanLeftShift), Down('A'),
                    Down('A'), Up('A'), Up(kShift, kScanLeftShift)}),
              (Texts{"", "", "", "", "{LShift+A}", ""}));
    EXPECT_EQ(Play({Down(kCtrl), Down(kCtrl), Down(kCtrl), WithCtrl(Up(kCtrl))}),
              (Texts{"", "", "", "{Ctrl}"}));
}

TEST_F(KeyEventToTextTest, EachKeyUnderAHeldModifierIsItsOwnKeystroke) {
    EXPECT_EQ(Play({Down(kCtrl), WithCtrl(Down('A')), WithCtrl(Up('A')), WithCtrl(Down('B')),
                    WithCtrl(Up('B')), Up(kCtrl)}),
              (Texts{"", "", "{Ctrl+A}", "", "{Ctrl+B}", ""}));
}

TEST_F(KeyEventToTextTest, HeldCtrlAndAltCountOnlyAfterAKey) {
    // Alt released first while Ctrl is still down: a modifier alone ignores Ctrl and Alt.
    EXPECT_EQ(
        Play({Down(kCtrl), WithCtrl(Down(kAlt)), WithAlt(WithCtrl(Up(kAlt))), WithCtrl(Up(kCtrl))}),
        (Texts{"", "", "{Alt}", "{Ctrl}"}));
}

TEST_F(KeyEventToTextTest, ShiftFlagsJoinEvenAModifierAlone) {
    EXPECT_EQ(Play({Down(kShift, kScanLeftShift), Down(kCtrl), WithCtrl(Up(kCtrl)),
                    Up(kShift, kScanLeftShift)}),
              (Texts{"", "", "{LShift+Ctrl}", "{LShift}"}));
}

TEST_F(KeyEventToTextTest, QuickChordsKeepTheirModifiers) {
    // A chord sent at once lets go of its modifiers before its key comes up.
    EXPECT_EQ(Play({Down(kCtrl), WithCtrl(Down('A')), Up(kCtrl), Up('A')}),
              (Texts{"", "", "", "{Ctrl+A}"}));
    EXPECT_EQ(Play({Down(kShift, kScanLeftShift), Down(kF5), Up(kShift, kScanLeftShift), Up(kF5)}),
              (Texts{"", "", "", "{LShift+F5}"}));
    EXPECT_EQ(Play({Down(kAlt), WithAlt(Down(kF5)), Up(kAlt), Up(kF5), Down(kF5), Up(kF5)}),
              (Texts{"", "", "", "{Alt+F5}", "", "{F5}"}));
    // Keys rolled over: only the last one pressed kept its chord.
    EXPECT_EQ(
        Play({Down(kCtrl), WithCtrl(Down('A')), WithCtrl(Down('B')), Up(kCtrl), Up('A'), Up('B')}),
        (Texts{"", "", "", "", "A", "{Ctrl+B}"}));
}

TEST_F(KeyEventToTextTest, ShiftInTheModifierStateAloneCountsAsTheLeftShift) {
    // A virtual keyboard may set Shift as modifier state without sending a Shift key.
    EXPECT_EQ(Play({WithShift(Down('F')), WithShift(Up('F'))}), (Texts{"", "{LShift+F}"}));
    EXPECT_EQ(Play({WithShift(Down(kF5)), Up(kF5)}), (Texts{"", "{LShift+F5}"}));
    // A Shift key that is down says which one it is; the state adds no second Shift.
    EXPECT_EQ(Play({Down(kShift, kScanRightShift), WithShift(Down('A')), WithShift(Up('A')),
                    WithShift(Up(kShift, kScanRightShift))}),
              (Texts{"", "", "{RShift+A}", ""}));
    EXPECT_EQ(Play({WithShift(Down(kShift, kScanLeftShift)), Up(kShift, kScanLeftShift)}),
              (Texts{"", "{LShift}"}));
}

TEST_F(KeyEventToTextTest, ShiftWithAnotherScanCodeIsDropped) {
    // Such a Shift is no modifier and has neither a name nor a character.
    EXPECT_EQ(Play({Down(kShift, 0x00), Up(kShift, 0x00)}), (Texts{"", ""}));
    EXPECT_FALSE(g_bLeftShiftDown);
    EXPECT_FALSE(g_bRightShiftDown);
    EXPECT_TRUE(g_bLastWasKey);

    // Nor does it touch the tracked Shift state.
    EXPECT_EQ(Play({Down(kShift, kScanLeftShift), Up(kShift, 0x55), Down('A'), Up('A')}),
              (Texts{"", "", "", "{LShift+A}"}));
    EXPECT_TRUE(g_bLeftShiftDown);
}

TEST_F(KeyEventToTextTest, KeysWithoutACharacterAreDroppedEvenUnderModifiers) {
    EXPECT_EQ(Play({Down(0xE8), Up(0xE8)}), (Texts{"", ""}));
    EXPECT_EQ(Play({Down(kCtrl), WithCtrl(Down(0xE8)), WithCtrl(Up(0xE8)), Up(kCtrl)}),
              (Texts{"", "", "", ""}));
}

TEST_F(KeyEventToTextTest, CharactersThatCannotStandInTextAreDropped) {
    m_keyboard.m_chars[0xE1] = U'{';
    m_keyboard.m_chars[0xE2] = U'}';
    m_keyboard.m_chars[0xE3] = 0x1B;
    m_keyboard.m_chars[0xE4] = 0xD800;
    m_keyboard.m_chars[0xE5] = 0x110000;
    for (uint32_t vk = 0xE1; vk <= 0xE5; ++vk)
        EXPECT_EQ(Play({Down(vk), Up(vk)}), (Texts{"", ""})) << vk;
}

TEST_F(KeyEventToTextTest, LayoutCharactersAreWrittenAsUtf8) {
    m_keyboard.m_chars[0xDE] = U'\u00C4'; // German layout: A umlaut
    m_keyboard.m_chars[0xBB] = U'+';
    m_keyboard.m_chars[0xE6] = U'\u20AC';
    m_keyboard.m_chars[0xE7] = U'\U0001F600';
    EXPECT_EQ(Play({Down(0xDE), Up(0xDE)}), (Texts{"", "\xC3\x84"}));
    EXPECT_EQ(Play({Down(kShift, kScanLeftShift), Down(0xDE), Up(0xDE)}),
              (Texts{"", "", "{LShift+\xC3\x84}"}));
    EXPECT_EQ(Play({Up(kShift, kScanLeftShift), Down(0xBB), Up(0xBB)}), (Texts{"", "", "+"}));
    EXPECT_EQ(Play({Down(0xE6), Up(0xE6)}), (Texts{"", "\xE2\x82\xAC"}));
    EXPECT_EQ(Play({Down(0xE7), Up(0xE7)}), (Texts{"", "\xF0\x9F\x98\x80"}));
}

TEST_F(KeyEventToTextTest, LettersComeOutInUpperCase) {
    m_keyboard.m_chars['Q'] = U'q';
    EXPECT_EQ(Play({Down('Q'), Up('Q')}), (Texts{"", "Q"}));
}

TEST_F(KeyEventToTextTest, FlagsFollowTheEvents) {
    Play({Down(kShift, kScanLeftShift)});
    EXPECT_TRUE(g_bLeftShiftDown);
    EXPECT_FALSE(g_bLastWasKey);
    Play({Down('A')});
    EXPECT_TRUE(g_bLastWasKey);
    Play({Up('A'), Down(kShift, kScanRightShift)});
    EXPECT_TRUE(g_bRightShiftDown);
    EXPECT_FALSE(g_bLastWasKey);
    Play({Up(kShift, kScanRightShift)});
    EXPECT_FALSE(g_bRightShiftDown);
    EXPECT_TRUE(g_bLeftShiftDown);

    ResetCaptureFlags();
    EXPECT_FALSE(g_bLeftShiftDown);
    EXPECT_FALSE(g_bRightShiftDown);
    EXPECT_FALSE(g_bLastWasKey);
}

TEST_F(KeyEventToTextTest, UsesTheInstalledKeyboardState) {
    std::string text;
    KeyEventToText('A', KeyData(Down('A')), text);
    KeyEventToText('A', KeyData(Up('A')), text);
    EXPECT_EQ(text, "A");

    m_keyboard.m_bCtrlDown = true;
    m_keyboard.m_chars['A'] = U'\u00C6';
    EXPECT_EQ(SetKeyboardState(&m_keyboard), nullptr);
    KeyEventToText('A', KeyData(Down('A')), text);
    KeyEventToText('A', KeyData(Up('A')), text);
    EXPECT_EQ(text, "{Ctrl+\xC3\x86}");
    EXPECT_EQ(SetKeyboardState(nullptr), &m_keyboard);

    KeyEventToText('A', KeyData(Down('A')), text);
    KeyEventToText('A', KeyData(Up('A')), text);
    EXPECT_EQ(text, "A");
}

struct UsCase {
    uint32_t nVirtualKey;
    char32_t ch;
};

class UsKeyboardStateCase : public testing::TestWithParam<UsCase> {};

TEST_P(UsKeyboardStateCase, MapsLikeAUsKeyboard) {
    const UsKeyboardState us;
    EXPECT_EQ(us.CharForVirtualKey(GetParam().nVirtualKey), GetParam().ch)
        << GetParam().nVirtualKey;
    EXPECT_FALSE(us.IsCtrlDown());
    EXPECT_FALSE(us.IsAltDown());
}

INSTANTIATE_TEST_SUITE_P(Keys, UsKeyboardStateCase,
                         testing::Values(UsCase{'A', U'A'}, UsCase{'Z', U'Z'}, UsCase{'0', U'0'},
                                         UsCase{'9', U'9'}, UsCase{0xBA, U';'}, UsCase{0xBB, U'='},
                                         UsCase{0xBC, U','}, UsCase{0xBD, U'-'}, UsCase{0xBE, U'.'},
                                         UsCase{0xBF, U'/'}, UsCase{0xC0, U'`'}, UsCase{0xDB, U'['},
                                         UsCase{0xDC, U'\\'}, UsCase{0xDD, U']'},
                                         UsCase{0xDE, U'\''}, UsCase{0x10, 0}, UsCase{0x40, 0},
                                         UsCase{0x5B, 0}, UsCase{'a', 0}, UsCase{0x141, 0}));

TEST_F(KeyEventToTextTest, UsPunctuationGivesKeyNames) {
    const UsKeyboardState us;
    std::string text;
    KeyEventToText(0xDB, KeyData(Down(0xDB)), text, us);
    KeyEventToText(0xDB, KeyData(Up(0xDB)), text, us);
    EXPECT_EQ(text, "[");
}

} // namespace
} // namespace vext
