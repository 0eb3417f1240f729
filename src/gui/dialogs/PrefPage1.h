#pragma once

// The one page of the Preferences sheet: the pad type that new key sets give a slot whose pad
// the driver does not report.

#include <QWidget>

class QButtonGroup;
class QRadioButton;

class CPrefPage1 : public QWidget {
    Q_OBJECT

public:
    explicit CPrefPage1(QWidget* pParent = nullptr);

    // Moves m_nPadType into the radio buttons, or the buttons into m_nPadType.
    void DoDataExchange(bool bSaveAndValidate);
    // Stores the choice in the settings and makes it the program's default.
    void OnOK();

    int m_nPadType = 0;
    QRadioButton* m_pStandard;
    QRadioButton* m_pCorvel;
    QRadioButton* m_pTwinStick;

private:
    QButtonGroup* m_pGroup;
};
