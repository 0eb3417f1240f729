#pragma once

// The modal sheet in which one key function is edited: Description, and Keystrokes or Step Mode
// as the second tab according to the mode. The caller fills the pages' members, runs the sheet
// and copies them back after OK; the Step Mode page edits the step list it is given in place.

#include "gui/dialogs/FuncDescPage.h"
#include "gui/dialogs/FuncStepPage.h"
#include "gui/dialogs/FuncStroke.h"
#include "gui/dialogs/PropertySheet.h"

class CKeyFunction;

class CFuncPropSheet : public vext::CPropertySheet {
    Q_OBJECT

public:
    explicit CFuncPropSheet(QWidget* pParent = nullptr);
    ~CFuncPropSheet() override;

    CFuncDescPage m_pageDesc;
    CFuncStroke m_pageStroke;
    CFuncStepPage m_pageStep;
    bool m_bStrokePageAdded = false;
    bool m_bStepPageAdded = false;

    void ShowKeystrokesPage();
    void ShowStepPage();

    // Fills the pages from a function (its step list is edited in place) and writes the sheet's
    // fields back into it after OK.
    void LoadFrom(CKeyFunction& function);
    void SaveTo(CKeyFunction& function) const;
};
