#include "gui/framework/PopupMenu.h"

#include "gui/framework/CmdTarget.h"
#include "gui/framework/Prompts.h"

#include <QAction>
#include <QMenu>

namespace vext {

int RunPopupMenu(CCmdTarget& target, std::initializer_list<PopupItem> items,
                 const QPoint& globalPos, const PopupOptions& options, QWidget* pParent) {
    QMenu menu(pParent);
    for (const PopupItem& item : items) {
        if (item.nID == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* pAction = menu.addAction(QString::fromUtf8(item.pszText));
        pAction->setData(item.nID);
        if (options.bUpdate) {
            CCmdUI ui(item.nID);
            if (!target.OnUpdateCommand(ui) || !ui.m_bEnableChanged) {
                ui.Enable(target.HasCommandHandler(item.nID));
            }
            pAction->setEnabled(ui.m_bEnabled);
            pAction->setCheckable(ui.m_bChecked);
            pAction->setChecked(ui.m_bChecked);
        }
        if (item.nID == options.nDisabledID) {
            pAction->setEnabled(false);
        }
        if (item.nID == options.nDefaultID) {
            menu.setDefaultAction(pAction);
        }
    }
    const int nChosen = TrackPopupMenu(menu, globalPos);
    if (nChosen != 0) {
        target.OnCommand(nChosen);
    }
    return nChosen;
}

} // namespace vext
