#pragma once

// The Description page of the function property sheet: description, comments, emulation mode
// with Loop and Auto-Repeat, and an animation of what the chosen mode does.

#include "gui/dialogs/PropertyPage.h"

#include <QString>

class CAnimateCtrl;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

class CFuncDescPage : public vext::CPropertyPage {
    Q_OBJECT

public:
    explicit CFuncDescPage(QWidget* pParent = nullptr);

    CAnimateCtrl* m_animate;
    int m_bAutoRepeat = 0;
    QString m_strComments;
    QString m_strDescription;
    int m_nMode = 0;
    int m_bLoop = 0;

    void DoDataExchange(bool bSave) override;
    void UpdateAnimation();
    // The clip that shows a mode with its options.
    static int ClipFor(int nMode, bool bAutoRepeat, bool bLoop);

    // Controls, by their dialog IDs: 202, 203, 212, 213, 215, 216.
    QLineEdit* m_pEditDescription;
    QPlainTextEdit* m_pEditComments;
    QRadioButton* m_pRadioNormal;
    QRadioButton* m_pRadioStep;
    QCheckBox* m_pCheckLoop;
    QCheckBox* m_pCheckAutoRepeat;

private:
    void OnNormalMode();
    void OnStepMode();
    void OnOption();
};
