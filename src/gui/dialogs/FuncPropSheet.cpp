#include "gui/dialogs/FuncPropSheet.h"

#include "core/model/KeyFunction.h"
#include "core/platform/StringTable.h"

CFuncPropSheet::CFuncPropSheet(QWidget* pParent)
    : vext::CPropertySheet(QString::fromStdString(vext::StringResource(103).value_or("")),
                           pParent) {
    AddPage(&m_pageDesc);
}

CFuncPropSheet::~CFuncPropSheet() {
    // Out of the tabs before the pages, which are members, go away.
    RemovePage(&m_pageStep);
    RemovePage(&m_pageStroke);
    RemovePage(&m_pageDesc);
}

void CFuncPropSheet::ShowKeystrokesPage() {
    if (m_bStepPageAdded) {
        m_bStepPageAdded = false;
        RemovePage(&m_pageStep);
    }
    if (!m_bStrokePageAdded) {
        AddPage(&m_pageStroke);
        m_bStrokePageAdded = true;
    }
}

void CFuncPropSheet::ShowStepPage() {
    if (m_bStrokePageAdded) {
        m_bStrokePageAdded = false;
        RemovePage(&m_pageStroke);
    }
    if (!m_bStepPageAdded) {
        AddPage(&m_pageStep);
        m_bStepPageAdded = true;
    }
}

void CFuncPropSheet::LoadFrom(CKeyFunction& function) {
    m_pageDesc.m_strDescription = QString::fromStdString(function.m_strDescription);
    m_pageDesc.m_strComments = QString::fromStdString(function.m_strComments);
    m_pageDesc.m_nMode = function.m_nMode;
    m_pageDesc.m_bAutoRepeat = function.m_bTurbo;
    m_pageDesc.m_bLoop = function.m_bLoop;
    m_pageStroke.m_strPressString = QString::fromStdString(function.m_strPress);
    m_pageStroke.m_strReleaseString = QString::fromStdString(function.m_strRelease);
    m_pageStep.m_pSteps = &function.m_steps;
}

void CFuncPropSheet::SaveTo(CKeyFunction& function) const {
    function.m_strDescription = m_pageDesc.m_strDescription.toStdString();
    function.m_strComments = m_pageDesc.m_strComments.toStdString();
    function.m_nMode = m_pageDesc.m_nMode;
    function.m_bTurbo = m_pageDesc.m_bAutoRepeat;
    function.m_bLoop = m_pageDesc.m_bLoop;
    function.m_strPress = m_pageStroke.m_strPressString.toStdString();
    function.m_strRelease = m_pageStroke.m_strReleaseString.toStdString();
}
