#include "gui/dialogs/PrefSheet.h"

#include "gui/dialogs/PrefPage1.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

CPrefSheet::CPrefSheet(const QString& strCaption, QWidget* pParent)
    : QDialog(pParent), m_page(new CPrefPage1),
      m_pButtons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setObjectName(QStringLiteral("PrefSheet"));
    setWindowTitle(strCaption);
    auto* pTabs = new QTabWidget(this);
    pTabs->addTab(m_page, tr("Preferences"));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pTabs);
    pLayout->addWidget(m_pButtons);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CPrefSheet::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &CPrefSheet::reject);
}

void CPrefSheet::accept() {
    m_page->OnOK();
    QDialog::accept();
}
