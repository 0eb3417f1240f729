#pragma once

// The application object: start-up of the interactive program, the shared state that several
// windows read, and the application-wide commands (About, Tip of the Day, Preferences, Auto
// Mapping, home page, Print Setup; New and Open come from the framework).

#include "gui/app/InstanceGuard.h"
#include "gui/framework/AppContext.h"
#include "gui/framework/WinApp.h"

#include <memory>

#include <QString>
#include <QStringList>

class CMainFrame;

namespace vext {
class PadLayoutTable;
class CMDIChildWnd;
class CDocTemplate;
} // namespace vext

class CVextKeyApp : public vext::CWinApp, public vext::IAppContext {
public:
    CVextKeyApp();
    ~CVextKeyApp() override;

    static CVextKeyApp* Get();

    // The interactive start-up, arguments without the program name. False: end the program now
    // (another instance took over, or the named file could not be opened).
    bool InitInstance(const QStringList& args);
    // The exit code when InitInstance fails: 0 when another instance took over, 1 on an error.
    int InitExitCode() const { return m_nInitExitCode; }
    // Writes the settings the framework keeps; returns nExitCode.
    int ExitInstance(int nExitCode = 0);
    void ShowTipAtStartup();
    // A -ld or -ul that a later start handed over.
    static vext::InstanceGuard::ModeResult RunHandedOverMode(vext::InstanceGuard::Mode mode,
                                                             const QString& strFile);
    // A later start handed over strPath (empty: only come forward). A key set being read or
    // written is finished first.
    void OnHandOver(const QString& strPath);

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    // The files an interactive command line names: the arguments that are not flags.
    static QStringList ShellFileNames(const QStringList& args);
    // The first of them, or an empty text.
    static QString ShellFileName(const QStringList& args);
    // Hands the files (or, with none, a request to come forward) to a running instance. False
    // when no instance took the first request.
    static bool HandOverToRunningInstance(const QStringList& files);

    void OnAppAbout();
    void OnTipOfTheDay();
    void OnPreferences();
    void OnHomePage();
    void OnFilePrintSetup();

    // IAppContext
    bool IsAutoMapping() const override { return m_bAutoMapping; }
    int DefaultPadType() const override;
    void SetDefaultPadType(int nPadType) override;
    vext::CDocTemplate* PadTemplate() const override { return m_pPadTemplate; }
    vext::CMDIChildWnd* ViewerFrame() const override { return m_pViewerFrame; }
    void SetViewerFrame(vext::CMDIChildWnd* pFrame) override { m_pViewerFrame = pFrame; }
    bool DriverAnswers() const override;
    void DriverChanged() override;

    void SetAutoMapping(bool bOn) { m_bAutoMapping = bOn; }

    vext::CDocTemplate* m_pListTemplate = nullptr;
    vext::CDocTemplate* m_pPadTemplate = nullptr;
    vext::CDocTemplate* m_pViewerTemplate = nullptr;
    int m_bSilent = 0;
    int m_nInitExitCode = 0;
    std::unique_ptr<vext::PadLayoutTable> m_padLayouts;
    // Where tips.txt is read from; next to the program unless set otherwise.
    QString m_strTipsPath;
    // The folder of the manual's HTML pages; empty when the manual is not there.
    QString m_strManualDir;
    // Whether start-up may offer the Tip of the Day (tests that do not answer it turn it off).
    bool m_bOfferTip = true;

private:
    bool m_bAutoMapping = false;
    vext::CMDIChildWnd* m_pViewerFrame = nullptr;
    std::unique_ptr<vext::InstanceGuard> m_pInstance;
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
