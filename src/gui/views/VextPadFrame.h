#pragma once

// The frame of one pad window (template 130). It carries the slot its view shows, follows the
// size of the pad picture (no maximise button, no resizing), and records its placement in the
// document whenever it moves, so that saving and reopening the key set puts it back there.

#include "gui/framework/MDIChildWnd.h"

class CVextPadFrame : public vext::CMDIChildWnd {
    Q_OBJECT

public:
    explicit CVextPadFrame(QWidget* pParent = nullptr);

    int GetSlot() const { return m_nSlot; }
    void SetSlot(int nSlot) { m_nSlot = nSlot; }

    void PreCreateWindow() override;
    void OnUpdateFrameTitle(int nWindow) override;
    // Makes the frame exactly as large as its view needs.
    void FitToView();

protected:
    void moveEvent(QMoveEvent* pEvent) override;

private:
    int m_nSlot = 0;
};
