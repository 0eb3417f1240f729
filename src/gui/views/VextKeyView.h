#pragma once

// The function list of a key set (template 129). For now an empty list that answers the
// document's questions as a list without items; the function list builds on this class.

#include "framework/View.h"

class QListView;

namespace vext {
class KeySetDocument;
}

class CVextKeyView : public vext::CView {
    Q_OBJECT

public:
    explicit CVextKeyView(QWidget* pParent = nullptr);

    vext::KeySetDocument* GetKeySetDocument() const;

    // The document's function list changed (index in the document's order).
    virtual void OnFunctionInserted(int nIndex);
    virtual void OnFunctionRemoved(int nIndex);
    virtual void OnFunctionChanged(int nIndex);
    // The list item that shows the function with this cookie, or -1.
    virtual int FindFunctionItem(int nCookie) const;
    // Lights or clears the "Pad n" toolbar button of a slot.
    virtual void CheckPadButton(int nSlot, int nCheck);

protected:
    QListView* m_pList;
};
