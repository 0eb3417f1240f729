#pragma once

// The application object: start-up of the interactive program, the shared state that several
// windows read, and the application-wide commands (About, Tip of the Day, Preferences, Auto
// Mapping, home page, Print Setup; New and Open come from the framework).

#include "framework/WinApp.h"

#include <memory>

#include <QString>
#include <QStringList>

class CMainFrame;

namespace vext {
class PadLayoutTable;
class CMDIChildWnd;
class CDocTemplate;
class InstanceGuard;
} // namespace vext

class CVextKeyApp : public vext::CWinApp {
public:
    CVextKeyApp();
    ~CVextKeyApp() override;

    static CVextKeyApp* Get();

    // The interactive start-up, arguments without the program name. False: end the program now
    // (another instance took over, or the named file could not be opened).
    bool InitInstance(const QStringList& args);
    // Writes the settings the framework keeps; returns nExitCode.
    int ExitInstance(int nExitCode = 0);
    void ShowTipAtStartup();

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    // The file an interactive command line names: the first argument that is not a flag.
    static QString ShellFileName(const QStringList& args);

    void OnAppAbout();
    void OnTipOfTheDay();
    void OnPreferences();
    void OnHomePage();
    void OnFilePrintSetup();

    vext::CDocTemplate* m_pListTemplate = nullptr;
    vext::CDocTemplate* m_pPadTemplate = nullptr;
    vext::CDocTemplate* m_pViewerTemplate = nullptr;
    int m_bAutoMapping = 0;
    vext::CMDIChildWnd* m_pViewerFrame = nullptr;
    int m_nDefaultPadType = 0;
    int m_bSilent = 0;
    std::unique_ptr<vext::PadLayoutTable> m_padLayouts;
    // Where tips.txt is read from; next to the program unless set otherwise.
    QString m_strTipsPath;
    // Whether start-up may offer the Tip of the Day (tests that do not answer it turn it off).
    bool m_bOfferTip = true;

private:
    std::unique_ptr<vext::InstanceGuard> m_pInstance;
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
