#pragma once

// One pad slot's window content (template 130). For now it shows which slot it stands for; the
// pad picture and its buttons build on this class.

#include "framework/View.h"

class QLabel;

class CVextPadView : public vext::CView {
    Q_OBJECT

public:
    explicit CVextPadView(QWidget* pParent = nullptr);

    int GetSlot() const { return m_nSlot; }
    void SetSlot(int nSlot);

    void OnInitialUpdate() override;
    // Highlights the pad button for a pressed input (nCheck 0 clears).
    virtual void CheckPadButton(int nCheck);
    // A mapping changed: redraw the button (kind, x, y).
    virtual void RefreshPadButton(int nKind, int nX, int nY);

protected:
    int m_nSlot = 1;
    QLabel* m_pLabel;
};
