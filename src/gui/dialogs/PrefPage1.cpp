#include "gui/dialogs/PrefPage1.h"

#include "core/model/AppState.h"
#include "gui/framework/AppContext.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>

CPrefPage1::CPrefPage1(QWidget* pParent)
    : QWidget(pParent), m_pStandard(new QRadioButton(tr("&Standard Vext Pad"), this)),
      m_pCorvel(new QRadioButton(tr("&Corvel Pad"), this)) {
    m_pStandard->setObjectName(QStringLiteral("Standard"));
    m_pCorvel->setObjectName(QStringLiteral("Corvel"));
    auto* pGroup = new QButtonGroup(this);
    pGroup->addButton(m_pStandard, 0);
    pGroup->addButton(m_pCorvel, 1);
    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(new QLabel(tr("Default Pad Type"), this), 0, 0, Qt::AlignTop);
    pLayout->addWidget(m_pStandard, 0, 1);
    pLayout->addWidget(m_pCorvel, 1, 1);
    pLayout->setColumnStretch(2, 1);
    pLayout->setRowStretch(2, 1);

    const vext::IAppContext* pApp = vext::TheAppContext();
    m_nPadType = pApp ? pApp->DefaultPadType() : vext::TheAppState().m_nDefaultPadType;
    DoDataExchange(false);
}

void CPrefPage1::DoDataExchange(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_nPadType = m_pCorvel->isChecked() ? 1 : 0;
    } else {
        m_pStandard->setChecked(m_nPadType == 0);
        m_pCorvel->setChecked(m_nPadType == 1);
    }
}

void CPrefPage1::OnOK() {
    DoDataExchange(true);
    if (vext::IAppContext* pApp = vext::TheAppContext()) {
        pApp->SetDefaultPadType(m_nPadType);
    }
}
