#include "gui/views/KeyStrokeView.h"

#include "gui/framework/AppContext.h"
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
    vext::IAppContext* pApp = vext::TheAppContext();
    if (pApp && m_pFrame && pApp->ViewerFrame() == m_pFrame) {
        pApp->SetViewerFrame(nullptr);
    }
}

void CKeyStrokeView::OnInitialUpdate() {
    CView::OnInitialUpdate();
    if (vext::IAppContext* pApp = vext::TheAppContext()) {
        m_pFrame = GetParentFrame();
        pApp->SetViewerFrame(m_pFrame);
    }
}
