#pragma once

// The state an update handler sets for one command: enabled, checked and, where the handler
// wants it, a new text. The command layer applies it to the command's action or status pane.

#include <optional>

#include <QString>

namespace vext {

class CCmdUI {
public:
    explicit CCmdUI(int nID) : m_nID(nID) {}

    void Enable(bool bOn = true) {
        m_bEnabled = bOn;
        m_bEnableChanged = true;
    }
    void SetCheck(int nCheck = 1) { m_bChecked = nCheck != 0; }
    void SetText(const QString& strText) { m_strText = strText; }

    int m_nID;
    bool m_bEnabled = false;
    bool m_bEnableChanged = false;
    bool m_bChecked = false;
    std::optional<QString> m_strText;
};

} // namespace vext
