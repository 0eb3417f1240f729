#pragma once

// The child frame of a function list (template 129) and of the Keystroke Viewer (template 146):
// a third of the MDI area wide, no maximise button, hidden until its initial update.

#include "gui/framework/MDIChildWnd.h"

class CChildFrame : public vext::CMDIChildWnd {
    Q_OBJECT

public:
    explicit CChildFrame(QWidget* pParent = nullptr);

    void PreCreateWindow() override;
    void OnUpdateFrameTitle(int nWindow) override;
};
