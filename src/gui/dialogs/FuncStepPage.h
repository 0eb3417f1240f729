#pragma once

// The Step Mode page of the function property sheet: the step strings in order, with a toolbar
// to add, delete and move them. It edits the function's own step list when its data is saved.

#include "gui/dialogs/PropertyPage.h"

#include <functional>
#include <string>
#include <vector>

#include <QString>

class CStepListBox;
class QToolBar;

class CFuncStepPage : public vext::CPropertyPage {
    Q_OBJECT

public:
    enum : int { kCmdAdd = 102, kCmdDelete = 103, kCmdMoveUp = 104, kCmdMoveDown = 105 };

    explicit CFuncStepPage(QWidget* pParent = nullptr);
    ~CFuncStepPage() override;

    QToolBar* m_toolBar;
    std::vector<std::string>* m_pSteps = nullptr;
    CStepListBox* m_listSteps; // 219

    void DoDataExchange(bool bSave) override;
    void OnCommand(int nId);
    void OnEdit();
    void UpdateToolStates();

    // Runs Enter Step String on the text; false when cancelled. Tests replace it.
    std::function<bool(QWidget* pParent, QString& strStep)> m_fnEnterStep;

private:
    bool EnterStep(QString& strStep);
};
