#include "gui/dialogs/PropertySheet.h"

#include "gui/dialogs/PropertyPage.h"

#include <QDialogButtonBox>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWhatsThis>

namespace vext {

CPropertySheet::CPropertySheet(const QString& strCaption, QWidget* pParent)
    : QDialog(pParent), m_pTabs(new QTabWidget(this)),
      m_pButtons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(strCaption);
    // What's This, as in the main window: Shift+F1 or the title bar's button, then a click.
    setWindowFlag(Qt::WindowContextHelpButtonHint);
    auto* pWhatsThis = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), this);
    connect(pWhatsThis, &QShortcut::activated, this, [] { QWhatsThis::enterWhatsThisMode(); });
    // A clicked tab takes the focus, as a property sheet's tab does; otherwise the focus would
    // drop into the page's first field, and a keystroke field there would capture every key.
    m_pTabs->tabBar()->setFocusPolicy(Qt::StrongFocus);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTabs);
    pLayout->addWidget(m_pButtons);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CPropertySheet::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &CPropertySheet::reject);
    connect(m_pTabs, &QTabWidget::currentChanged, this, [this] { OnTabChanged(); });
}

CPropertySheet::~CPropertySheet() {
    // The pages belong to whoever added them; take them out before Qt deletes the children.
    for (int i = m_pTabs->count(); i-- > 0;) {
        QWidget* pPage = m_pTabs->widget(i);
        m_pTabs->removeTab(i);
        pPage->setParent(nullptr);
    }
}

void CPropertySheet::AddPage(CPropertyPage* pPage) {
    if (!pPage || m_pTabs->indexOf(pPage) >= 0)
        return;
    pPage->m_pSheet = this;
    pPage->m_bCreated = false;
    m_bChanging = true;
    m_pTabs->addTab(pPage, pPage->windowTitle());
    m_bChanging = false;
}

void CPropertySheet::RemovePage(CPropertyPage* pPage) {
    const int index = m_pTabs->indexOf(pPage);
    if (index < 0)
        return;
    m_bChanging = true;
    m_pTabs->removeTab(index);
    m_bChanging = false;
    pPage->hide();
    pPage->setParent(nullptr);
    pPage->m_bCreated = false;
    if (m_pActive == pPage) {
        m_pActive = nullptr;
        if (m_bStarted)
            Activate(qobject_cast<CPropertyPage*>(m_pTabs->currentWidget()));
    }
}

bool CPropertySheet::SetActivePage(CPropertyPage* pPage) {
    const int index = m_pTabs->indexOf(pPage);
    if (index < 0)
        return false;
    m_pTabs->setCurrentIndex(index);
    OnTabChanged();
    return true;
}

int CPropertySheet::GetPageCount() const {
    return m_pTabs->count();
}

CPropertyPage* CPropertySheet::GetPage(int nIndex) const {
    return qobject_cast<CPropertyPage*>(m_pTabs->widget(nIndex));
}

void CPropertySheet::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (!m_bStarted) {
        m_bStarted = true;
        Activate(qobject_cast<CPropertyPage*>(m_pTabs->currentWidget()));
        // The sheet opens with the page's first field ready for typing, its text selected.
        if (QWidget* pField = FirstField(m_pActive)) {
            pField->setFocus(Qt::TabFocusReason);
        }
    }
}

QWidget* CPropertySheet::FirstField(CPropertyPage* pPage) {
    if (!pPage) {
        return nullptr;
    }
    for (QWidget* pWidget = pPage->nextInFocusChain(); pWidget && pWidget != pPage;
         pWidget = pWidget->nextInFocusChain()) {
        if (pPage->isAncestorOf(pWidget) && pWidget->isEnabled() && pWidget->isVisibleTo(pPage) &&
            (pWidget->focusPolicy() & Qt::TabFocus)) {
            return pWidget;
        }
    }
    return nullptr;
}

void CPropertySheet::OnTabChanged() {
    if (m_bChanging || !m_bStarted)
        return;
    auto* pNew = qobject_cast<CPropertyPage*>(m_pTabs->currentWidget());
    if (pNew == m_pActive)
        return;
    if (m_pActive)
        m_pActive->OnKillActive();
    Activate(pNew);
}

void CPropertySheet::Activate(CPropertyPage* pPage) {
    m_pActive = pPage;
    if (!pPage)
        return;
    if (!pPage->m_bCreated) {
        pPage->m_bCreated = true;
        pPage->OnInitDialog();
    }
    pPage->OnSetActive();
}

void CPropertySheet::accept() {
    if (m_pActive)
        m_pActive->OnKillActive();
    QDialog::accept();
}

} // namespace vext
