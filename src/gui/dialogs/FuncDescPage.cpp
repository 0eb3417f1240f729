#include "gui/dialogs/FuncDescPage.h"

#include "gui/dialogs/AnimateCtrl.h"
#include "gui/dialogs/FuncPropSheet.h"
#include "gui/framework/HelpTexts.h"
#include "gui/framework/Resources.h"

#include <utility>

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

CFuncDescPage::CFuncDescPage(QWidget* pParent)
    : vext::CPropertyPage(QStringLiteral("Description"), pParent),
      m_animate(new CAnimateCtrl(this)), m_pEditDescription(new QLineEdit(this)),
      m_pEditComments(new QPlainTextEdit(this)),
      m_pRadioNormal(new QRadioButton(QStringLiteral("Normal Mode"), this)),
      m_pRadioStep(new QRadioButton(QStringLiteral("Step Mode"), this)),
      m_pCheckLoop(new QCheckBox(QStringLiteral("Loop"), this)),
      m_pCheckAutoRepeat(new QCheckBox(QStringLiteral("Auto-Repeat"), this)) {
    const std::pair<QWidget*, int> help[] = {{m_pEditDescription, vext::IDH_DESCRIPTION},
                                             {m_pEditComments, vext::IDH_COMMENTS},
                                             {m_pRadioNormal, vext::IDH_NORMAL_MODE},
                                             {m_pRadioStep, vext::IDH_STEP_MODE},
                                             {m_pCheckLoop, vext::IDH_LOOP},
                                             {m_pCheckAutoRepeat, vext::IDH_AUTO_REPEAT},
                                             {m_animate, vext::IDH_ANIMATION}};
    for (const auto& [pWidget, nText] : help)
        pWidget->setWhatsThis(vext::ResString(nText));
    m_pEditComments->setTabChangesFocus(true);
    m_pEditComments->setFixedHeight(m_pEditComments->fontMetrics().lineSpacing() * 3 + 12);
    m_animate->setFixedSize(120, 98);

    auto* pModes = new QButtonGroup(this);
    pModes->addButton(m_pRadioNormal, 0);
    pModes->addButton(m_pRadioStep, 1);

    auto* pGroup = new QGroupBox(QStringLiteral("Emulation Mode"), this);
    auto* pGrid = new QGridLayout(pGroup);
    pGrid->addWidget(m_pRadioNormal, 0, 0);
    pGrid->addWidget(m_pRadioStep, 1, 0);
    pGrid->addWidget(m_pCheckLoop, 1, 1);
    pGrid->addWidget(m_pCheckAutoRepeat, 3, 0);
    pGrid->setRowMinimumHeight(2, 8);
    pGrid->addWidget(m_animate, 0, 2, 4, 1, Qt::AlignCenter);
    pGrid->setColumnStretch(1, 1);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Function Description"), this));
    pLayout->addWidget(m_pEditDescription);
    pLayout->addWidget(new QLabel(QStringLiteral("Comments"), this));
    pLayout->addWidget(m_pEditComments);
    pLayout->addWidget(pGroup);
    pLayout->addStretch();

    connect(m_pRadioNormal, &QRadioButton::clicked, this, &CFuncDescPage::OnNormalMode);
    connect(m_pRadioStep, &QRadioButton::clicked, this, &CFuncDescPage::OnStepMode);
    connect(m_pCheckLoop, &QCheckBox::clicked, this, &CFuncDescPage::OnOption);
    connect(m_pCheckAutoRepeat, &QCheckBox::clicked, this, &CFuncDescPage::OnOption);
}

void CFuncDescPage::DoDataExchange(bool bSave) {
    if (bSave) {
        m_bAutoRepeat = m_pCheckAutoRepeat->isChecked() ? 1 : 0;
        m_strComments = m_pEditComments->toPlainText();
        m_strDescription = m_pEditDescription->text();
        // Any non-zero mode is Step; a Step mode read as another non-zero value keeps it.
        if (m_pRadioNormal->isChecked())
            m_nMode = 0;
        else if (m_pRadioStep->isChecked() && m_nMode == 0)
            m_nMode = 1;
        m_bLoop = m_pCheckLoop->isChecked() ? 1 : 0;
        return;
    }
    m_pCheckAutoRepeat->setChecked(m_bAutoRepeat != 0);
    m_pEditComments->setPlainText(m_strComments);
    m_pEditDescription->setText(m_strDescription);
    m_pRadioNormal->setChecked(m_nMode == 0);
    m_pRadioStep->setChecked(m_nMode != 0);
    m_pCheckLoop->setChecked(m_bLoop != 0);

    auto* pSheet = qobject_cast<CFuncPropSheet*>(GetSheet());
    if (m_nMode == 0) {
        m_pCheckLoop->setEnabled(false);
        if (pSheet)
            pSheet->ShowKeystrokesPage();
    } else {
        m_pCheckLoop->setEnabled(true);
        if (pSheet)
            pSheet->ShowStepPage();
    }
    UpdateAnimation();
}

int CFuncDescPage::ClipFor(int nMode, bool bAutoRepeat, bool bLoop) {
    if (nMode == 0)
        return bAutoRepeat ? 188 : 187;
    if (bAutoRepeat)
        return bLoop ? 191 : 192;
    return bLoop ? 190 : 189;
}

void CFuncDescPage::UpdateAnimation() {
    m_animate->Close();
    m_animate->Open(ClipFor(m_nMode, m_bAutoRepeat != 0, m_bLoop != 0));
}

void CFuncDescPage::OnNormalMode() {
    m_pCheckLoop->setEnabled(false);
    if (auto* pSheet = qobject_cast<CFuncPropSheet*>(GetSheet()))
        pSheet->ShowKeystrokesPage();
    UpdateData(true);
    UpdateAnimation();
}

void CFuncDescPage::OnStepMode() {
    m_pCheckLoop->setEnabled(true);
    if (auto* pSheet = qobject_cast<CFuncPropSheet*>(GetSheet()))
        pSheet->ShowStepPage();
    UpdateData(true);
    UpdateAnimation();
}

void CFuncDescPage::OnOption() {
    UpdateData(true);
    UpdateAnimation();
}
