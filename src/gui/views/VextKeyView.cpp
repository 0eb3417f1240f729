#include "views/VextKeyView.h"

#include "app/KeySetDocument.h"

#include <QListView>
#include <QVBoxLayout>

CVextKeyView::CVextKeyView(QWidget* pParent) : CView(pParent), m_pList(new QListView(this)) {
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pList);
    setFocusProxy(m_pList);
}

vext::KeySetDocument* CVextKeyView::GetKeySetDocument() const {
    return dynamic_cast<vext::KeySetDocument*>(GetDocument());
}

void CVextKeyView::OnFunctionInserted(int) {}

void CVextKeyView::OnFunctionRemoved(int) {}

void CVextKeyView::OnFunctionChanged(int) {}

int CVextKeyView::FindFunctionItem(int) const {
    return -1;
}

void CVextKeyView::CheckPadButton(int, int) {}
