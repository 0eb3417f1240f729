// The keystroke field through real widgets: key events with native scan codes go through the
// application's event dispatch, as the window system would deliver them.

#include "gui/keys/KeyCaptureEdit.h"

#include "core/keys/KeyEventToText.h"
#include "gui/keys/KeyTranslation.h"

#include <memory>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

// X11 key codes of a US keyboard.
constexpr quint32 kXLeftShift = 50;
constexpr quint32 kXRightShift = 62;
constexpr quint32 kXLeftCtrl = 37;
constexpr quint32 kXA = 38;
constexpr quint32 kX7 = 16;

void Send(QWidget* pTarget, QEvent::Type type, int key, Qt::KeyboardModifiers mods,
          quint32 native = 0, bool bAutoRepeat = false) {
    QKeyEvent event(type, key, mods, native, 0, 0, QString(), bAutoRepeat);
    QApplication::sendEvent(pTarget, &event);
}

void Press(QWidget* p, int key, Qt::KeyboardModifiers mods = {}, quint32 native = 0) {
    Send(p, QEvent::KeyPress, key, mods, native);
}

void Release(QWidget* p, int key, Qt::KeyboardModifiers mods = {}, quint32 native = 0) {
    Send(p, QEvent::KeyRelease, key, mods, native);
}

void Click(QWidget* p, int key, Qt::KeyboardModifiers mods = {}, quint32 native = 0) {
    Press(p, key, mods, native);
    Release(p, key, mods, native);
}

// A key event as Qt's wayland platform gives it from a virtual keyboard (wtype, an on-screen
// keyboard): key codes of the keyboard's own numbering, the keysym, and no KeypadModifier.
void SendSym(QWidget* p, QEvent::Type type, int key, Qt::KeyboardModifiers mods, quint32 native,
             quint32 keySym) {
    QKeyEvent event(type, key, mods, native, keySym, 0);
    QApplication::sendEvent(p, &event);
}

// Counts the key events that reach a widget past the hook.
class KeyCounter : public QObject {
public:
    int m_nCount = 0;

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::KeyPress || pEvent->type() == QEvent::KeyRelease)
            ++m_nCount;
        return false;
    }
};

} // namespace

class KeyCaptureEditTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QDialog> m_pDialog;
    QPointer<CKeyCaptureEdit> m_pField;
    QPointer<QLineEdit> m_pOther;

    void SetText(const QString& str, int nStart, int nEnd) {
        m_pField->setPlainText(str);
        QTextCursor cursor = m_pField->textCursor();
        cursor.setPosition(nStart);
        cursor.setPosition(nEnd, QTextCursor::KeepAnchor);
        m_pField->setTextCursor(cursor);
    }

private Q_SLOTS:
    void init() {
        vext::ResetCaptureFlags();
        m_pDialog = std::make_unique<QDialog>();
        auto* pLayout = new QVBoxLayout(m_pDialog.get());
        m_pField = new CKeyCaptureEdit(m_pDialog.get());
        m_pOther = new QLineEdit(m_pDialog.get());
        pLayout->addWidget(m_pField);
        pLayout->addWidget(m_pOther);
        m_pDialog->show();
        QVERIFY(QTest::qWaitForWindowActive(m_pDialog.get()));
        m_pField->setFocus();
        QTRY_VERIFY(m_pField->hasFocus());
        QCOMPARE(vext::KeyHookOwner(), m_pField.data());
    }

    void cleanup() { m_pDialog.reset(); }

    void leftAndRightShiftByScanCode() {
        Press(m_pField, Qt::Key_Shift, Qt::ShiftModifier, kXLeftShift);
        Click(m_pField, Qt::Key_A, Qt::ShiftModifier, kXA);
        Release(m_pField, Qt::Key_Shift, {}, kXLeftShift);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("{LShift+A}"));

        Press(m_pField, Qt::Key_Shift, Qt::ShiftModifier, kXRightShift);
        Click(m_pField, Qt::Key_A, Qt::ShiftModifier, kXA);
        Release(m_pField, Qt::Key_Shift, {}, kXRightShift);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("{LShift+A}{RShift+A}"));
    }

    void shiftedDigitStaysItsKey() {
        // Shift+7 on a US keyboard reports "&"; the key is still 7.
        Press(m_pField, Qt::Key_Shift, Qt::ShiftModifier, kXLeftShift);
        Click(m_pField, Qt::Key_Ampersand, Qt::ShiftModifier, kX7);
        Release(m_pField, Qt::Key_Shift, {}, kXLeftShift);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("{LShift+7}"));
    }

    void ctrlReturnAndCtrlAlone() {
        Press(m_pField, Qt::Key_Control, Qt::ControlModifier, kXLeftCtrl);
        Click(m_pField, Qt::Key_Return, Qt::ControlModifier, 36);
        Release(m_pField, Qt::Key_Control, {}, kXLeftCtrl);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("{Ctrl+Return}"));

        Press(m_pField, Qt::Key_Control, Qt::ControlModifier, kXLeftCtrl);
        Release(m_pField, Qt::Key_Control, {}, kXLeftCtrl);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("{Ctrl+Return}{Ctrl}"));
    }

    void namedAndPlainKeys() {
        Click(m_pField, Qt::Key_F5, {}, 71);
        Click(m_pField, Qt::Key_7, {}, kX7);
        Click(m_pField, Qt::Key_7, Qt::KeypadModifier, 79);
        Click(m_pField, Qt::Key_Backspace, {}, 22);
        Click(m_pField, Qt::Key_Delete, {}, 119);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("{F5}7{Num-7}{Bksp}{Del}"));
    }

    void virtualKeyboardKeysGiveTheTextOfTheSameKeys() {
        struct Key {
            int key;
            Qt::KeyboardModifiers mods;
            quint32 native;
            quint32 keySym;
            char type; // 'p' press, 'r' release, 'c' both
        };
        const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
        const Key keys[] = {
            {Qt::Key_Shift, shift, 10, 0xFFE1, 'p'},
            {Qt::Key_A, shift, 9, 0x61, 'c'},
            {Qt::Key_Shift, shift, 10, 0xFFE1, 'r'},
            {Qt::Key_Shift, shift, 12, 0xFFE2, 'p'},
            {Qt::Key_B, shift, 11, 0x62, 'c'},
            {Qt::Key_Shift, shift, 12, 0xFFE2, 'r'},
            {Qt::Key_1, {}, 17, 0xFFB1, 'c'},
            {Qt::Key_Plus, {}, 18, 0xFFAB, 'c'},
            {Qt::Key_Control, {}, 21, 0xFFE3, 'p'},
            {Qt::Key_Return, Qt::ControlModifier, 15, 0xFF0D, 'c'},
            {Qt::Key_Control, Qt::ControlModifier, 21, 0xFFE3, 'r'},
        };
        for (const Key& k : keys) {
            if (k.type != 'r')
                SendSym(m_pField, QEvent::KeyPress, k.key, k.mods, k.native, k.keySym);
            if (k.type != 'p')
                SendSym(m_pField, QEvent::KeyRelease, k.key, k.mods, k.native, k.keySym);
        }
        // What X11 gives for the same keys (the tests above).
        QCOMPARE(m_pField->toPlainText(),
                 QStringLiteral("{LShift+A}{RShift+B}{Num-1}{Num+}{Ctrl+Return}"));
    }

    void keyDownAloneInsertsNothing() {
        SetText(QStringLiteral("AB"), 1, 1);
        Press(m_pField, Qt::Key_X, {}, 53);
        Press(m_pField, Qt::Key_Control, Qt::ControlModifier, kXLeftCtrl);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("AB"));
        QCOMPARE(m_pField->textCursor().position(), 1);
    }

    void heldKeyIsOneKeystroke() {
        Press(m_pField, Qt::Key_A, {}, kXA);
        Send(m_pField, QEvent::KeyRelease, Qt::Key_A, {}, kXA, true);
        Send(m_pField, QEvent::KeyPress, Qt::Key_A, {}, kXA, true);
        Send(m_pField, QEvent::KeyRelease, Qt::Key_A, {}, kXA, true);
        Send(m_pField, QEvent::KeyPress, Qt::Key_A, {}, kXA, true);
        Release(m_pField, Qt::Key_A, {}, kXA);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("A"));
    }

    void tabAndEscAreCapturedNotActedOn() {
        QTest::keyClick(m_pField, Qt::Key_Tab);
        QVERIFY(m_pField->hasFocus());
        QTest::keyClick(m_pField, Qt::Key_Escape);
        QVERIFY(m_pDialog->isVisible());
        QCOMPARE(m_pDialog->result(), 0);
        QTest::keyClick(m_pField, Qt::Key_Return);
        QVERIFY(m_pDialog->isVisible());
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("{Tab}{Esc}{Return}"));
    }

    void shortcutsDoNotFire() {
        auto* pAction = new QAction(m_pDialog.get());
        pAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
        m_pDialog->addAction(pAction);
        QSignalSpy spy(pAction, &QAction::triggered);
        QTest::keyClick(m_pField, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("{Ctrl+S}"));
    }

    void numLockPassesOn() {
        KeyCounter counter;
        m_pField->installEventFilter(&counter);
        Click(m_pField, Qt::Key_NumLock, {}, 77);
        QCOMPARE(counter.m_nCount, 2);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("{NumLk}"));
        Click(m_pField, Qt::Key_A, {}, kXA);
        QCOMPARE(counter.m_nCount, 2);
        m_pField->removeEventFilter(&counter);
    }

    void caretInsideAGroupMovesPastIt() {
        SetText(QStringLiteral("AB{Ctrl+C}D"), 9, 9);
        Click(m_pField, Qt::Key_X, {}, 53);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("AB{Ctrl+C}XD"));
        QCOMPARE(m_pField->textCursor().position(), 11);
    }

    void deleteCutsTheWidenedSelection() {
        QApplication::clipboard()->clear();
        SetText(QStringLiteral("A{Alt+F4}B"), 3, 7);
        Click(m_pField, Qt::Key_Delete, {}, 119);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("AB"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("{Alt+F4}"));
    }

    void keyReplacesTheWidenedSelection() {
        SetText(QStringLiteral("A{Alt+F4}B"), 3, 7);
        Click(m_pField, Qt::Key_Q, {}, 24);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("AQB"));
    }

    void ctrlDeleteReplacesTheSelection() {
        QApplication::clipboard()->setText(QStringLiteral("untouched"));
        SetText(QStringLiteral("A{Alt+F4}B"), 3, 7);
        Press(m_pField, Qt::Key_Control, Qt::ControlModifier, kXLeftCtrl);
        Click(m_pField, Qt::Key_Delete, Qt::ControlModifier, 119);
        Release(m_pField, Qt::Key_Control, {}, kXLeftCtrl);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("A{Ctrl+Del}B"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("untouched"));
    }

    void deleteWithoutSelectionInsertsDel() {
        SetText(QStringLiteral("AB"), 1, 1);
        Click(m_pField, Qt::Key_Delete, {}, 119);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("A{Del}B"));
    }

    void newLinePerKey() {
        m_pOther->setFocus();
        QTRY_VERIFY(m_pOther->hasFocus());
        m_pField->m_bNewLinePerKey = true;
        m_pField->setFocus();
        QTRY_VERIFY(m_pField->hasFocus());
        Click(m_pField, Qt::Key_A, {}, kXA);
        Click(m_pField, Qt::Key_Return, {}, 36);
        QCOMPARE(m_pField->toPlainText(), QStringLiteral("A\n{Return}\n"));
    }

    void losingTheFocusRemovesTheHook() {
        m_pOther->setFocus();
        QTRY_VERIFY(m_pOther->hasFocus());
        QCOMPARE(vext::KeyHookOwner(), nullptr);
        QTest::keyClicks(m_pOther, QStringLiteral("ab"));
        QCOMPARE(m_pOther->text(), QStringLiteral("ab"));
        QCOMPARE(m_pField->toPlainText(), QString());
    }

    void destroyingTheFocusedFieldRemovesTheHook() {
        delete m_pField.data();
        QCOMPARE(vext::KeyHookOwner(), nullptr);
        QTest::keyClicks(m_pOther, QStringLiteral("z"));
    }

    void translationTable_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<quint32>("native");
        QTest::addColumn<bool>("up");
        QTest::addColumn<quint32>("vk");
        QTest::addColumn<quint32>("scan");
        QTest::addColumn<bool>("alt");
        QTest::newRow("left shift")
            << int(Qt::Key_Shift) << 0 << 50u << false << 0x10u << 0x2Au << false;
        QTest::newRow("right shift up")
            << int(Qt::Key_Shift) << 0 << 62u << true << 0x10u << 0x36u << false;
        QTest::newRow("shift, no scan code")
            << int(Qt::Key_Shift) << 0 << 0u << false << 0x10u << 0x2Au << false;
        QTest::newRow("letter") << int(Qt::Key_Q) << 0 << 24u << false << 0x51u << 0x10u << false;
        QTest::newRow("azerty A at US Q")
            << int(Qt::Key_A) << 0 << 24u << false << 0x41u << 0x10u << false;
        QTest::newRow("cyrillic by place")
            << 0x0444 << 0 << 38u << false << 0x41u << 0x1Eu << false;
        QTest::newRow("shift+1") << int(Qt::Key_Exclam) << int(Qt::ShiftModifier) << 10u << false
                                 << 0x31u << 0x02u << false;
        QTest::newRow("shift+1, no scan code")
            << int(Qt::Key_Exclam) << int(Qt::ShiftModifier) << 0u << false << 0x31u << 0u << false;
        QTest::newRow("minus") << int(Qt::Key_Minus) << 0 << 20u << false << 0xBDu << 0x0Cu
                               << false;
        QTest::newRow("keypad minus") << int(Qt::Key_Minus) << int(Qt::KeypadModifier) << 82u
                                      << false << 0x6Du << 0x4Au << false;
        QTest::newRow("keypad home") << int(Qt::Key_Home) << int(Qt::KeypadModifier) << 79u << false
                                     << 0x24u << 0x47u << false;
        QTest::newRow("alt+f4") << int(Qt::Key_F4) << int(Qt::AltModifier) << 70u << true << 0x73u
                                << 0x3Eu << true;
        QTest::newRow("alt down") << int(Qt::Key_Alt) << 0 << 64u << false << 0x12u << 0x38u
                                  << true;
        QTest::newRow("backtab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << 23u << false
                                 << 0x09u << 0x0Fu << false;
        QTest::newRow("super") << int(Qt::Key_Super_L) << 0 << 133u << false << 0x5Bu << 0u
                               << false;
        QTest::newRow("unknown") << int(Qt::Key_VolumeUp) << 0 << 123u << false << 0xFFu << 0u
                                 << false;
    }

    void translationTable() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(quint32, native);
        QFETCH(bool, up);
        QFETCH(quint32, vk);
        QFETCH(quint32, scan);
        QFETCH(bool, alt);
        const QKeyEvent event(up ? QEvent::KeyRelease : QEvent::KeyPress, key,
                              Qt::KeyboardModifiers(mods), native, 0, 0);
        const vext::HookedKey hooked = vext::TranslateKeyEvent(event);
        QCOMPARE(hooked.nVirtualKey, vk);
        QCOMPARE((hooked.nKeyData >> 16) & 0xFFu, scan);
        QCOMPARE((hooked.nKeyData & vext::kKeyDataAlt) != 0, alt);
        QCOMPARE((hooked.nKeyData & vext::kKeyDataUp) != 0, up);
    }
};

QTEST_MAIN(KeyCaptureEditTest)
#include "KeyCaptureEditTest.moc"
