#include "views/VextPadView.h"

#include <QLabel>
#include <QVBoxLayout>

CVextPadView::CVextPadView(QWidget* pParent) : CView(pParent), m_pLabel(new QLabel(this)) {
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pLabel);
    m_pLabel->setAlignment(Qt::AlignCenter);
}

void CVextPadView::SetSlot(int nSlot) {
    m_nSlot = nSlot;
}

void CVextPadView::OnInitialUpdate() {
    m_pLabel->setText(tr("Pad %1").arg(m_nSlot));
    CView::OnInitialUpdate();
}

void CVextPadView::CheckPadButton(int) {}

void CVextPadView::RefreshPadButton(int, int, int) {}
