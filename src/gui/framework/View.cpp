#include "gui/framework/View.h"

#include "gui/framework/Document.h"
#include "gui/framework/MDIChildWnd.h"

namespace vext {

CView::CView(QWidget* pParent) : QWidget(pParent) {}

CView::~CView() {
    if (m_pDocument) {
        m_pDocument->RemoveView(this);
    }
}

CMDIChildWnd* CView::GetParentFrame() const {
    for (QWidget* pParent = parentWidget(); pParent; pParent = pParent->parentWidget()) {
        if (auto* pFrame = qobject_cast<CMDIChildWnd*>(pParent)) {
            return pFrame;
        }
    }
    return nullptr;
}

void CView::OnInitialUpdate() {
    OnUpdate(nullptr, 0);
}

void CView::OnUpdate(CView*, int) {
    update();
}

} // namespace vext
