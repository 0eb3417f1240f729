#include "app/VextKeyApp.h"

#include "app/AboutDialog.h"
#include "app/ChildFrame.h"
#include "app/InstanceGuard.h"
#include "app/KeySetDocTemplate.h"
#include "app/KeySetDocument.h"
#include "app/MainFrame.h"
#include "app/TipDialog.h"
#include "dialogs/PrefSheet.h"
#include "framework/CmdIds.h"
#include "framework/Resources.h"
#include "model/AppState.h"
#include "pad/PadLayoutTable.h"
#include "platform/StringTable.h"
#include "views/KeyStrokeView.h"
#include "views/VextKeyView.h"
#include "views/VextPadFrame.h"
#include "views/VextPadView.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QSettings>
#include <QUrl>

CVextKeyApp::CVextKeyApp() {
    vext::InitAppResources();
    OnCommandId(vext::ID_APP_ABOUT, [this] { OnAppAbout(); });
    OnCommandId(vext::ID_TIP_OF_THE_DAY, [this] { OnTipOfTheDay(); });
    OnCommandId(vext::ID_OPTIONS_PREFERENCES, [this] { OnPreferences(); });
    OnCommandId(vext::ID_HELP_HOME_PAGE, [this] { OnHomePage(); });
    OnCommandId(vext::ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    OnCommandId(vext::ID_OPTIONS_AUTO_MAPPING, [this] { m_bAutoMapping = !m_bAutoMapping; });
    OnUpdateId(vext::ID_OPTIONS_AUTO_MAPPING, [this](vext::CCmdUI& ui) {
        ui.Enable(true);
        ui.SetCheck(m_bAutoMapping);
    });

    const QString strDir = QCoreApplication::applicationDirPath();
    m_strTipsPath = QDir(strDir).filePath(QStringLiteral("tips.txt"));
    if (!QFileInfo::exists(m_strTipsPath)) {
        const QString strShared =
            QDir(strDir).filePath(QStringLiteral("../share/vextkey/tips.txt"));
        if (QFileInfo::exists(strShared)) {
            m_strTipsPath = QDir::cleanPath(strShared);
        }
    }
}

CVextKeyApp::~CVextKeyApp() {
    m_pMainFrame.reset();
    vext::TheAppState().m_nDefaultPadType = 0;
    if (vext::TheAppState().m_pPadLayouts == m_padLayouts.get()) {
        vext::TheAppState().m_pPadLayouts = nullptr;
    }
}

CVextKeyApp* CVextKeyApp::Get() {
    return dynamic_cast<CVextKeyApp*>(vext::AfxGetApp());
}

QString CVextKeyApp::ShellFileName(const QStringList& args) {
    for (const QString& strArg : args) {
        if (!strArg.startsWith('-') && !strArg.startsWith('/')) {
            return strArg;
        }
        // An absolute path is a file, not a flag written with "/".
        if (strArg.startsWith('/') && strArg.indexOf('/', 1) > 0) {
            return strArg;
        }
    }
    return {};
}

bool CVextKeyApp::InitInstance(const QStringList& args) {
    // One instance: a running one comes forward, takes the file and this start ends.
    QString strFile = ShellFileName(args);
    const QString strAbsolute =
        strFile.isEmpty() ? QString() : QFileInfo(strFile).absoluteFilePath();
    m_pInstance = std::make_unique<vext::InstanceGuard>();
    if (vext::InstanceGuard::NotifyRunningInstance(strAbsolute)) {
        return false;
    }
    if (!m_pInstance->Listen()) {
        vext::InstanceGuard::NotifyRunningInstance(strAbsolute);
        return false;
    }

    m_bAutoMapping = 0;
    m_pViewerFrame = nullptr;
    vext::TheAppState().m_bListHasFocus = 0;
    vext::TheAppState().m_bSavedEmulation = 0;
    m_bSilent = 0;
    vext::TheAppState().m_bSilent = false;

    LoadStdProfileSettings(4);
    {
        auto pSettings = vext::AppSettings();
        m_nDefaultPadType =
            pSettings->value(QStringLiteral("Preferences/DefaultPadtype"), 0).toInt();
    }
    vext::TheAppState().m_nDefaultPadType = m_nDefaultPadType;
    m_padLayouts = std::make_unique<vext::PadLayoutTable>(
        vext::PadLayoutTable::Build([](int nId) { return vext::StringResource(nId); }));
    vext::TheAppState().m_pPadLayouts = m_padLayouts.get();

    m_pListTemplate = AddDocTemplate(std::make_unique<CKeySetDocTemplate>(
        vext::IDR_VEXTKEYTYPE, [] { return std::make_unique<vext::KeySetDocument>(); },
        [] { return new CChildFrame; }, [] { return new CVextKeyView; }));
    m_pPadTemplate = AddDocTemplate(std::make_unique<CKeySetDocTemplate>(
        vext::IDR_PADTYPE, [] { return std::make_unique<vext::KeySetDocument>(); },
        [] { return new CVextPadFrame; }, [] { return new CVextPadView; }));
    m_pViewerTemplate = AddDocTemplate(std::make_unique<CKeySetDocTemplate>(
        vext::IDR_VIEWERTYPE, [] { return std::make_unique<vext::KeySetDocument>(); },
        [] { return new CChildFrame; }, [] { return new CKeyStrokeView; }));

    m_pMainFrame = std::make_unique<CMainFrame>();
    m_pMainWnd = m_pMainFrame.get();
    if (!m_pMainFrame->LoadFrame()) {
        return false;
    }
    QObject::connect(m_pInstance.get(), &vext::InstanceGuard::activationRequested,
                     m_pMainFrame.get(), [this](const QString& strPath) {
                         m_pMainFrame->BringToFront();
                         if (!strPath.isEmpty()) {
                             OpenDocumentFile(strPath);
                         }
                     });

    // Start-up never makes an empty key set: no file, nothing opens.
    if (!strFile.isEmpty() && !OpenDocumentFile(strFile)) {
        return false;
    }
    m_pMainFrame->show();
    ShowTipAtStartup();
    return true;
}

int CVextKeyApp::ExitInstance(int nExitCode) {
    SaveStdProfileSettings();
    if (vext::TheAppState().m_pPadLayouts == m_padLayouts.get()) {
        vext::TheAppState().m_pPadLayouts = nullptr;
    }
    m_padLayouts.reset();
    return nExitCode;
}

void CVextKeyApp::ShowTipAtStartup() {
    if (!m_bOfferTip) {
        return;
    }
    CTipDialog dlg(m_strTipsPath, m_pMainFrame.get());
    if (dlg.ShowAtStartup()) {
        dlg.exec();
    }
}

void CVextKeyApp::OnAppAbout() {
    CAboutDialog dlg(m_pMainFrame.get());
    dlg.exec();
}

void CVextKeyApp::OnTipOfTheDay() {
    CTipDialog dlg(m_strTipsPath, m_pMainFrame.get());
    dlg.exec();
}

void CVextKeyApp::OnPreferences() {
    CPrefSheet sheet(vext::ResString(117), nullptr);
    sheet.exec();
}

void CVextKeyApp::OnHomePage() {
    QDesktopServices::openUrl(QUrl(vext::ResString(138)));
}

void CVextKeyApp::OnFilePrintSetup() {
    QPageSetupDialog dlg(&GetPrinter(), m_pMainFrame.get());
    dlg.exec();
}
