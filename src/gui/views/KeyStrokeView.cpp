#include "gui/views/KeyStrokeView.h"

#include "gui/app/VextKeyApp.h"
#include "gui/framework/HelpTexts.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/Resources.h"
#include "gui/keys/KeyCaptureEdit.h"

#include <QVBoxLayout>

CKeyStrokeView::CKeyStrokeView(QWidget* pParent)
    : CView(pParent), m_pEdit(new CKeyCaptureEdit(this)) {
    // One keystroke per line.
    m_pEdit->m_bNewLinePerKey = true;
    m_pEdit->setObjectName(QStringLiteral("KeystrokeField"));
    setWhatsThis(vext::ResString(vext::IDH_KEYSTROKE_VIEWER));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pEdit);
    setFocusProxy(m_pEdit);
}

CKeyStrokeView::~CKeyStrokeView() {
    CVextKeyApp* pApp = CVextKeyApp::Get();
    if (pApp && m_pFrame && pApp->m_pViewerFrame == m_pFrame) {
        pApp->m_pViewerFrame = nullptr;
    }
}

void CKeyStrokeView::OnInitialUpdate() {
    CView::OnInitialUpdate();
    if (CVextKeyApp* pApp = CVextKeyApp::Get()) {
        m_pFrame = GetParentFrame();
        pApp->m_pViewerFrame = m_pFrame;
    }
}
