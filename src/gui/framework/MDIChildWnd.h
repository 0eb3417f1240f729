#pragma once

// A child frame inside the main window's MDI area. It holds one view and closes through the
// document's rules: closing the frame that ends a document asks to save it first.

#include "gui/framework/CmdTarget.h"

#include <QMdiSubWindow>

namespace vext {

class CDocument;
class CView;

class CMDIChildWnd : public QMdiSubWindow, public CCmdTarget {
    Q_OBJECT

public:
    explicit CMDIChildWnd(QWidget* pParent = nullptr);
    ~CMDIChildWnd() override;

    // Adjusts size and window flags before the frame is first shown (the MDI area is known).
    virtual void PreCreateWindow() {}
    void SetView(CView* pView);
    CView* GetActiveView() const { return m_pView; }
    CDocument* GetActiveDocument() const;

    // The menu (resource ID) the main frame shows while this frame is active.
    int GetMenuResource() const { return m_nMenuResource; }
    void SetMenuResource(int nId) { m_nMenuResource = nId; }

    // The document's title, ":n" for its nth window (nWindow > 0), "*" while it has unsaved
    // changes.
    virtual void OnUpdateFrameTitle(int nWindow);
    // The title again with the window number it had, for a change of the modified state.
    void UpdateModifiedMark() { OnUpdateFrameTitle(m_nWindow); }
    // Leaves the document and goes away without asking anything.
    void DestroyFrame();
    bool IsDestroying() const { return m_bDestroying; }

Q_SIGNALS:
    void frameDestroying(vext::CMDIChildWnd* pFrame);

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    CView* m_pView = nullptr;
    int m_nMenuResource = 0;
    bool m_bDestroying = false;
    int m_nWindow = 0;
};

} // namespace vext
