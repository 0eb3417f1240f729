#pragma once

// The Keystroke Viewer (template 146): shows the keystrokes that arrive. It tells the
// application while it exists so that the View menu can check its item.

#include "gui/framework/View.h"

class CKeyCaptureEdit;

namespace vext {
class CMDIChildWnd;
}

class CKeyStrokeView : public vext::CView {
    Q_OBJECT

public:
    explicit CKeyStrokeView(QWidget* pParent = nullptr);
    ~CKeyStrokeView() override;

    void OnInitialUpdate() override;
    CKeyCaptureEdit* Field() const { return m_pEdit; }

protected:
    CKeyCaptureEdit* m_pEdit;
    // The frame this viewer registered; by the time the view is destroyed its frame is gone.
    vext::CMDIChildWnd* m_pFrame = nullptr;
};
