#pragma once

// The main window: menus per active template, accelerators, toolbar, status bar with the name of
// the key set the driver holds and the lock-key indicators, and the driver-wide commands
// (Unload KeySet, emulation on/off, Keystroke Viewer). It tells the driver when the program
// gains and loses the activation, and opens key-set files dropped on it.

#include "gui/framework/MDIFrameWnd.h"

namespace vext {
class DriverLauncher;
class DriverState;
class LockKeyWatch;
} // namespace vext

class CVersionInfo;
class QLabel;
class QMenuBar;
class QToolBar;

class CMainFrame : public vext::CMDIFrameWnd {
    Q_OBJECT

public:
    CMainFrame();
    ~CMainFrame() override;

    // Builds menus, toolbar and status bar; false when the frame cannot be made.
    bool LoadFrame();
    void BringToFront();
    // A pre-release build adds its version text to the title.
    void SetVersionInfo(const CVersionInfo& info);

    // Puts the Tip of the Day item into the popup titled string 137 of the bar, once.
    void InsertTipCommand(QMenuBar* pBar);
    // Status-bar pane 123: what the driver holds, or why it holds nothing; while a game's key
    // set plays, that one and the rule that chose it, with the window in *pToolTip.
    QString KeySetPaneText(QString* pToolTip = nullptr) const;
    // Whether the driver emulates, as the toggle shows it (the remembered state while the
    // function list has the focus).
    bool IsEmulationOn() const;
    // What the window knows of the driver; Driver().Refresh() reads it again.
    vext::DriverState& Driver() const { return *m_pDriver; }

    void OnUnloadKeySet();
    void OnEmulation();
    void OnKeystrokeViewer();
    void OnStartDriver();
    // Options > Game Key Sets: the rules of games.conf.
    void OnGameKeySets();
    // Help Topics opens the manual's contents; Help (F1) the page about the window in front.
    void OnHelp(bool bActiveTopic);

    QToolBar* ToolBar() const { return m_pToolBar; }
    QLabel* KeySetPane() const { return m_pPaneSetName; }
    const vext::DriverLauncher& DriverStarter() const { return *m_pDriverLauncher; }
    QLabel* LockPane(int nIndicator) const;

    void OnIdle() override;

protected:
    void OnInitMenu() override;
    void changeEvent(QEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    void BuildMenus();
    void BuildAccelerators();
    void BuildToolBar();
    void BuildStatusBar();
    void UpdateStatusPanes();
    void OnDriverChanged();

    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pPaneSetName = nullptr;
    QLabel* m_pPaneCaps = nullptr;
    QLabel* m_pPaneNum = nullptr;
    QLabel* m_pPaneScroll = nullptr;
    QMenu* m_pTipPopup = nullptr;
    vext::DriverLauncher* m_pDriverLauncher = nullptr;
    vext::DriverState* m_pDriver = nullptr;
    vext::LockKeyWatch* m_pLocks = nullptr;
    bool m_bActive = false;
    bool m_bNoDriverNoticed = false; // said once per run, in the status bar
    bool m_bX11OnlyNoticed = false;  // XTest in a Wayland session: said once per run too
};
