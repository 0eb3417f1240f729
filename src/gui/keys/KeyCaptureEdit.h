#pragma once

// A multi-line field that records keystrokes by their pressing: while it has the focus an
// application-wide event filter (the keyboard hook) takes every key event, turns finished
// keystrokes into keystroke text and inserts it at the caret, keeping the text's groups whole.
// Keys never reach the field or any other window as keys, except Num Lock.

#include <cstdint>

#include <QPlainTextEdit>

class CKeyCaptureEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit CKeyCaptureEdit(QWidget* pParent = nullptr);
    ~CKeyCaptureEdit() override;

    // Each inserted keystroke is followed by a line feed (the Keystroke Viewer).
    bool m_bNewLinePerKey = false;

protected:
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
};

namespace vext {

// The field that holds the keyboard hook, or nullptr while none has the focus.
CKeyCaptureEdit* KeyHookOwner();

} // namespace vext

// Handles one hooked key event for the field holding the hook. Returns 1 when the event is to be
// discarded, 0 to let it pass on (Num Lock).
int HandleHookedKey(uint32_t nVirtualKey, uint32_t nKeyData, bool bLineFeed);
