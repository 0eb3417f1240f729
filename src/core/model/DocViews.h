#pragma once

// What the document asks of the windows that show it. The GUI implements this and attaches it to
// the document; a document without it (the command-line load, tests) behaves as one with no view
// open: finders report absence and window work is skipped.

#include "core/model/WindowPlacement.h"

#include <string>

namespace vext {

class IDocViews {
public:
    virtual ~IDocViews() = default;

    // Views and windows.
    virtual bool HasFunctionListView() const = 0;
    virtual bool IsPadViewOpen(int nSlot) const = 0;
    // Index of the function-list item whose data is this cookie, or -1.
    virtual int FindFunctionItem(int nCookie) const = 0;
    virtual void TogglePadView(int nSlot) = 0;
    virtual void CheckPadButton(int nSlot, int nCheck) = 0;
    // A mapping of the pad button (slot, kind, x, y) went away: redraw it if its window is open.
    virtual void RefreshPadButton(int nSlot, int nKind, int nX, int nY) = 0;

    // The function list changed; the list control mirrors the document's function order.
    virtual void FunctionInserted(int nIndex) = 0;
    virtual void FunctionRemoved(int nIndex) = 0;
    virtual void FunctionChanged(int nIndex) = 0;

    // Placements and captions the key-set file saves and restores. A getter returns false when
    // it has no such window.
    virtual bool GetMainWindowPlacement(WindowPlacement& wp) const = 0;
    virtual void SetMainWindowPlacement(const WindowPlacement& wp) = 0;
    virtual bool GetFunctionListPlacement(WindowPlacement& wp) const = 0;
    virtual void SetFunctionListPlacement(const WindowPlacement& wp) = 0;
    virtual bool GetPadWindowPlacement(int nSlot, WindowPlacement& wp) const = 0;
    virtual void SetFunctionListCaption(const std::string& strCaption) = 0;
    virtual void SetPadWindowCaption(int nSlot, const std::string& strCaption) = 0;
    virtual void UpdateAllViews() = 0;
    // The document was marked modified after its last undo checkpoint: the window layer
    // checkpoints once the user's action is done.
    virtual void ChangePending() = 0;
    // Undo or Redo put other functions, mappings and pad types in place: show them all again.
    virtual void ContentsReplaced() = 0;

    // The framework's recent-file list.
    virtual void AddToRecentFileList(const std::string& strPath) = 0;
};

} // namespace vext
