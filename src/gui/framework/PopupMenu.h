#pragma once

// A popup menu of numbered commands for one command target: built from a table, optionally
// enabled and checked by the target's update handlers, shown through the prompt seam, and the
// chosen command run on the target.

#include <initializer_list>

#include <QPoint>

class QWidget;

namespace vext {

class CCmdTarget;

struct PopupItem {
    int nID = 0; // 0: a separator
    const char* pszText = nullptr;
};

struct PopupOptions {
    int nDefaultID = 0;   // shown as the default item
    bool bUpdate = false; // let the target's update handlers set enabled and checked states
    int nDisabledID = 0;  // an item to gray whatever the handlers say
};

// Returns the command that ran, or 0 when the menu was closed without a choice.
int RunPopupMenu(CCmdTarget& target, std::initializer_list<PopupItem> items,
                 const QPoint& globalPos, const PopupOptions& options = {},
                 QWidget* pParent = nullptr);

} // namespace vext
