#pragma once

// A window that shows a document inside a child frame. The document keeps the list of its views;
// a view leaves that list when it is destroyed.

#include "gui/framework/CmdTarget.h"

#include <QWidget>

namespace vext {

class CDocument;
class CMDIChildWnd;

class CView : public QWidget, public CCmdTarget {
    Q_OBJECT

public:
    explicit CView(QWidget* pParent = nullptr);
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    CMDIChildWnd* GetParentFrame() const;

    // Runs once, after the frame is created and before it is shown.
    virtual void OnInitialUpdate();
    // The document changed; pSender is the view that changed it, if any.
    virtual void OnUpdate(CView* pSender, int nHint);

private:
    friend class CDocument;
    CDocument* m_pDocument = nullptr;
};

} // namespace vext
