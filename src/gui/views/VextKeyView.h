#pragma once

// The function list of a key set (template 129): a toolbar (Add Function, Delete Function,
// Pad 1 to Pad 4) above the list of the key set's functions. It runs the commands that create,
// edit, delete, cut, copy and paste functions and opens and closes the pad windows.

#include "core/driver/PadPolling.h"
#include "gui/framework/View.h"

#include <cstdint>
#include <functional>
#include <span>

class CFuncPropSheet;
class CFunctionListCtrl;
class CVextKeyDoc;
class QAction;
class QMenu;
class QMimeData;
class QTimer;
class QToolBar;

namespace vext {
class KeySetDocument;
}

class CVextKeyView : public vext::CView {
    Q_OBJECT

public:
    explicit CVextKeyView(QWidget* pParent = nullptr);
    ~CVextKeyView() override;

    vext::KeySetDocument* GetKeySetDocument() const;
    CVextKeyDoc* GetDoc() const;
    CFunctionListCtrl* ListCtrl() const { return m_pList; }
    QToolBar* ToolBar() const { return m_pToolBar; }
    QAction* ToolAction(int nID) const;

    void OnInitialUpdate() override;

    // The document's function list changed (index in the document's order).
    virtual void OnFunctionInserted(int nIndex);
    virtual void OnFunctionRemoved(int nIndex);
    virtual void OnFunctionChanged(int nIndex);
    // Lists the document's functions again, all of them (after Undo or Redo).
    void ReloadFunctions();
    // The list item that shows the function with this cookie, or -1.
    virtual int FindFunctionItem(int nCookie) const;
    // Lights or clears the "Pad n" toolbar button of a slot.
    virtual void CheckPadButton(int nSlot, int nCheck);

    // Function commands. AddFunction returns the new function's cookie, or 0.
    int AddFunction();
    void EditSelectedFunction();
    void DeleteSelectedFunction();
    void CopyFunction();
    void CutFunction();
    void PasteFunction();
    // Adds a function from a function block; false when the data holds none.
    bool PasteFromData(const QMimeData* pData);
    void UnmapAllMappedButtons();
    // Selects the row of a function.
    void SelectFunction(int nCookie);

    // One tick of the pad polling: pressed pad inputs light their buttons in open pad windows,
    // and with Auto Mapping on (and the list focused) are mapped to the selected function.
    void PollPads();
    static constexpr int kPollIntervalMs = 100;

    // Runs the property sheet; true for OK. Tests answer it without a modal loop.
    std::function<bool(CFuncPropSheet& sheet)> m_fnRunSheet;

protected:
    void ShowListMenu(const QPoint& globalPos);

public:
    // The context menu while it is open (tests close it).
    QMenu* m_pLastMenu = nullptr;

private:
    bool RunSheet(CFuncPropSheet& sheet);

    QToolBar* m_pToolBar;
    CFunctionListCtrl* m_pList;
    QTimer* m_pPollTimer;
    vext::PadPoller m_poller;
    // Names this view's poller to the driver, which keeps the taps between two of its polls.
    uint32_t m_nPollToken;
    bool m_bPollAnswered = true;
};
