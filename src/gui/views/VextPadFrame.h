#pragma once

// The frame of one pad window (template 130): fixed to its content, no maximise button.

#include "framework/MDIChildWnd.h"

class CVextPadFrame : public vext::CMDIChildWnd {
    Q_OBJECT

public:
    explicit CVextPadFrame(QWidget* pParent = nullptr);

    void PreCreateWindow() override;
    void OnUpdateFrameTitle(int nWindow) override;
};
