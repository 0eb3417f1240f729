#include "gui/keys/KeyCaptureEdit.h"

#include "core/keys/GroupSelection.h"
#include "core/keys/KeyEventToText.h"
#include "core/keys/KeyboardState.h"
#include "gui/keys/KeyTranslation.h"
#include "gui/keys/QtKeyboardState.h"
#include "gui/keys/WaylandKeymap.h"

#include <cstddef>
#include <string>
#include <string_view>

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTextCursor>

namespace {

constexpr uint32_t kVkDelete = 0x2E;
constexpr uint32_t kVkNumLock = 0x90;

QPointer<CKeyCaptureEdit> g_pHookOwner;

// The keyboard hook: an application-wide filter, installed only while a field has the focus.
class KeyHookFilter final : public QObject {
public:
    bool m_bLineFeed = false;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        switch (pEvent->type()) {
        case QEvent::ShortcutOverride:
            // Accepting it keeps accelerators and shortcuts from firing: the key is ours.
            pEvent->accept();
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            // A key event goes to the window, then the focused field, then the field's parents.
            // It is handled once, at the field; one let through (Num Lock) then goes on as usual.
            if (pWatched != g_pHookOwner.data())
                return false;
            return HandleKeyEvent(static_cast<QKeyEvent*>(pEvent));
        default:
            return QObject::eventFilter(pWatched, pEvent);
        }
    }

private:
    bool HandleKeyEvent(QKeyEvent* pEvent) {
        // X11 repeats a held key as release and press pairs; a held key is one keystroke.
        if (pEvent->isAutoRepeat() && pEvent->type() == QEvent::KeyRelease)
            return true;

        const vext::HookedKey key = vext::TranslateKeyEvent(*pEvent);
        auto& state = vext::QtKeyboardState::Instance();
        state.BeginEvent(*pEvent, key.nVirtualKey);
        const int result = HandleHookedKey(key.nVirtualKey, key.nKeyData, m_bLineFeed);
        state.EndEvent();
        return result != 0;
    }
};

KeyHookFilter& HookFilter() {
    static KeyHookFilter filter;
    return filter;
}

// The window-system keyboard serves every capture unless something else was installed first.
void EnsureKeyboardState() {
    static bool bDone = false;
    if (bDone)
        return;
    bDone = true;
    vext::IKeyboardState* pPrevious = vext::SetKeyboardState(&vext::QtKeyboardState::Instance());
    if (pPrevious)
        vext::SetKeyboardState(pPrevious);
}

void InstallHook(CKeyCaptureEdit* pField) {
    if (!qApp)
        return;
    EnsureKeyboardState();
    // On Wayland the layout comes over a connection of its own, which must be there before the
    // keys: a keyboard that types and goes (a virtual one) sends its keymap only as it starts.
    vext::WaylandKeymap::Instance();
    auto& filter = HookFilter();
    filter.m_bLineFeed = pField->m_bNewLinePerKey;
    if (!g_pHookOwner)
        qApp->installEventFilter(&filter);
    g_pHookOwner = pField;
}

void RemoveHook(CKeyCaptureEdit* pField) {
    if (g_pHookOwner != pField)
        return;
    g_pHookOwner = nullptr;
    if (qApp)
        qApp->removeEventFilter(&HookFilter());
}

std::u16string_view View(const QString& str) {
    return {reinterpret_cast<const char16_t*>(str.utf16()), static_cast<std::size_t>(str.size())};
}

} // namespace

CKeyCaptureEdit::CKeyCaptureEdit(QWidget* pParent) : QPlainTextEdit(pParent) {
    // Characters come only from the hook, never from an input method.
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

CKeyCaptureEdit::~CKeyCaptureEdit() {
    RemoveHook(this);
}

void CKeyCaptureEdit::focusInEvent(QFocusEvent* pEvent) {
    QPlainTextEdit::focusInEvent(pEvent);
    InstallHook(this);
}

void CKeyCaptureEdit::focusOutEvent(QFocusEvent* pEvent) {
    QPlainTextEdit::focusOutEvent(pEvent);
    RemoveHook(this);
}

namespace vext {

CKeyCaptureEdit* KeyHookOwner() {
    return g_pHookOwner.data();
}

} // namespace vext

int HandleHookedKey(uint32_t nVirtualKey, uint32_t nKeyData, bool bLineFeed) {
    std::string text;
    KeyEventToText(nVirtualKey, nKeyData, text);
    CKeyCaptureEdit* pField = g_pHookOwner.data();
    if (!text.empty() && pField) {
        // Delete without Ctrl or Alt cuts a selection. The keystroke's text holds the modifiers
        // held as it was typed, also those of a chord let go before its key came up.
        const bool bDeleteMode = nVirtualKey == kVkDelete &&
                                 text.find("Ctrl+") == std::string::npos &&
                                 text.find("Alt+") == std::string::npos;
        const QString strField = pField->toPlainText();
        const std::u16string_view field = View(strField);
        QTextCursor cursor = pField->textCursor();
        const auto start = static_cast<std::size_t>(cursor.selectionStart());
        const auto end = static_cast<std::size_t>(cursor.selectionEnd());

        if (start == end) {
            const std::size_t caret = vext::CaretOutOfGroup(field, start);
            if (caret != start) {
                cursor.setPosition(static_cast<int>(caret));
                pField->setTextCursor(cursor);
            }
        } else {
            std::size_t newStart = vext::SelectionStartOutOfGroup(field, start);
            std::size_t newEnd = end;
            vext::WidenToGroups(field, newStart, newEnd);
            cursor.setPosition(static_cast<int>(newStart));
            cursor.setPosition(static_cast<int>(newEnd), QTextCursor::KeepAnchor);
            pField->setTextCursor(cursor);
            if (bDeleteMode) {
                pField->cut();
                return 1;
            }
        }
        QString strInsert = QString::fromStdString(text);
        if (bLineFeed)
            strInsert += QLatin1Char('\n');
        pField->insertPlainText(strInsert);
    }
    return nVirtualKey == kVkNumLock ? 0 : 1;
}
