#pragma once

// The main window of the document/view layer: an MDI area of child frames, commands as shared
// actions, menus that follow the active child's template, command routing and updates.

#include "gui/framework/CmdTarget.h"

#include <map>
#include <vector>

#include <QKeySequence>
#include <QMainWindow>

class QMdiArea;
class QMenu;
class QMdiSubWindow;
class QTimer;

namespace vext {

class CMDIChildWnd;

class CMDIFrameWnd : public QMainWindow, public CCmdTarget {
    Q_OBJECT

public:
    CMDIFrameWnd();
    ~CMDIFrameWnd() override;

    QMdiArea* MdiArea() const { return m_pMdiArea; }
    CMDIChildWnd* MDIGetActive() const;
    std::vector<CMDIChildWnd*> ChildFrames() const;

    // The shared action of command nID; made on first use. Its text, tip and prompt come from
    // the string table entry of the same number ("prompt\ntip").
    QAction* CommandAction(int nID);
    void SetCommandText(int nID, const QString& strText);
    // A key that runs nID wherever the focus is in this window.
    void AddAccelerator(const QKeySequence& keys, int nID);
    // Menus are built once per resource ID; the bar shows the active child's menu.
    QMenu* AddPopup(int nIDResource, const QString& strTitle);
    void AddMenuItem(QMenu* pMenu, int nID, const QString& strText);
    void AddRecentFileItems(QMenu* pMenu);
    // pMenu lists the open child frames at its end, numbered, the active one checked; choosing
    // one brings it forward.
    void AddWindowList(QMenu* pMenu);
    // Activates pFrame, restored and inside the workspace.
    void BringForward(CMDIChildWnd* pFrame);
    QList<QMenu*> Popups(int nIDResource) const;
    int CurrentMenuResource() const { return m_nCurrentMenu; }
    void SetMenuResource(int nIDResource);

    // Command routing: active view, its document, its frame, this frame, the application.
    std::vector<CCmdTarget*> CommandRoute() const;
    bool ExecuteCommand(int nID);
    void UpdateCommand(int nID);
    void UpdateMenu(QMenu* pMenu);
    // The idle refresh: toolbar and status-bar states.
    virtual void OnIdle();
    virtual void OnUpdateFrameTitle();
    // The title before " - " and the active key set's name: the program's name by default.
    void SetTitle(const QString& strTitle);
    QString GetTitle() const;

protected:
    // Called before a popup of the menu bar opens.
    virtual void OnInitMenu();
    void closeEvent(QCloseEvent* pEvent) override;
    void OnUpdateFrameMenu();

private:
    void OnSubWindowActivated(QMdiSubWindow* pWindow);
    void UpdateRecentFileItems();
    void UpdateWindowList(QMenu* pMenu);

    QMdiArea* m_pMdiArea;
    QTimer* m_pIdleTimer;
    std::map<int, QAction*> m_actions;
    std::map<int, QList<QMenu*>> m_menus;
    int m_nCurrentMenu = 0;
    QString m_strTitle;
    QAction* m_pRecentPlaceholder = nullptr;
    std::vector<QAction*> m_recentActions;
    std::vector<QMenu*> m_windowMenus;
    bool m_bClosing = false;      // inside closeEvent (its save prompts run event loops)
    bool m_bCloseWaiting = false; // a close asked for during a file operation
};

} // namespace vext
