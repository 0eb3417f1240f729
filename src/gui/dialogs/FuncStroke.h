#pragma once

// The Keystrokes page of the function property sheet: the press and release strings of a Normal
// function, entered in keystroke fields.

#include "gui/dialogs/PropertyPage.h"

#include <QString>

class CKeyCaptureEdit;

class CFuncStroke : public vext::CPropertyPage {
    Q_OBJECT

public:
    explicit CFuncStroke(QWidget* pParent = nullptr);

    CKeyCaptureEdit* m_editRelease; // 205
    CKeyCaptureEdit* m_editPress;   // 204
    QString m_strPressString;
    QString m_strReleaseString;

    void DoDataExchange(bool bSave) override;
};
