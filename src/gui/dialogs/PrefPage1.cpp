#include "gui/dialogs/PrefPage1.h"

#include "core/model/AppState.h"
#include "core/pad/PadTypes.h"
#include "gui/framework/AppContext.h"

#include <algorithm>

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>

CPrefPage1::CPrefPage1(QWidget* pParent)
    : QWidget(pParent), m_pStandard(new QRadioButton(tr("&Standard Vext Pad"), this)),
      m_pCorvel(new QRadioButton(tr("&Corvel Pad"), this)),
      m_pTwinStick(new QRadioButton(tr("&Twin-Stick Pad"), this)),
      m_pGroup(new QButtonGroup(this)) {
    m_pStandard->setObjectName(QStringLiteral("Standard"));
    m_pCorvel->setObjectName(QStringLiteral("Corvel"));
    m_pTwinStick->setObjectName(QStringLiteral("TwinStick"));
    m_pGroup->addButton(m_pStandard, vext::kPadStandard);
    m_pGroup->addButton(m_pCorvel, vext::kPadCorvel);
    m_pGroup->addButton(m_pTwinStick, vext::kPadTwinStick);
    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(new QLabel(tr("Default Pad Type"), this), 0, 0, Qt::AlignTop);
    pLayout->addWidget(m_pStandard, 0, 1);
    pLayout->addWidget(m_pCorvel, 1, 1);
    pLayout->addWidget(m_pTwinStick, 2, 1);
    pLayout->setColumnStretch(2, 1);
    pLayout->setRowStretch(3, 1);

    const vext::IAppContext* pApp = vext::TheAppContext();
    m_nPadType = pApp ? pApp->DefaultPadType() : vext::TheAppState().m_nDefaultPadType;
    DoDataExchange(false);
}

void CPrefPage1::DoDataExchange(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_nPadType = std::max(m_pGroup->checkedId(), 0);
    } else if (QAbstractButton* pButton = m_pGroup->button(m_nPadType)) {
        pButton->setChecked(true);
    } else {
        m_pStandard->setChecked(true);
    }
}

void CPrefPage1::OnOK() {
    DoDataExchange(true);
    if (vext::IAppContext* pApp = vext::TheAppContext()) {
        pApp->SetDefaultPadType(m_nPadType);
    }
}
