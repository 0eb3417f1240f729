#include "gui/app/VextKeyApp.h"

#include "core/app/CommandLineModes.h"
#include "core/app/VextKeyCommandLineInfo.h"
#include "core/model/AppState.h"
#include "core/pad/PadLayoutTable.h"
#include "core/pad/PadTypes.h"
#include "core/platform/LineText.h"
#include "core/platform/StringTable.h"
#include "gui/app/AboutDialog.h"
#include "gui/app/ChildFrame.h"
#include "gui/app/DriverState.h"
#include "gui/app/InstanceGuard.h"
#include "gui/app/KeySetDocTemplate.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Manual.h"
#include "gui/app/TipDialog.h"
#include "gui/dialogs/PrefSheet.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/FileOperation.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"
#include "gui/views/KeySetDocument.h"
#include "gui/views/KeyStrokeView.h"
#include "gui/views/VextKeyView.h"
#include "gui/views/VextPadFrame.h"
#include "gui/views/VextPadView.h"

#include <cstdio>

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
    vext::SetAppContext(this);
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
    m_strTipsPath = vext::FindDataFile(strDir, QStringLiteral("tips.txt"));
    if (m_strTipsPath.isEmpty()) {
        m_strTipsPath = QDir(strDir).filePath(QStringLiteral("tips.txt"));
    }
    const QString strManual = vext::FindDataFile(strDir, QStringLiteral("manual/index.html"));
    if (!strManual.isEmpty()) {
        m_strManualDir = QFileInfo(strManual).path();
    }
}

CVextKeyApp::~CVextKeyApp() {
    m_pMainFrame.reset();
    vext::SetAppContext(nullptr);
    vext::TheAppState().m_nDefaultPadType = 0;
    if (vext::TheAppState().m_pPadLayouts == m_padLayouts.get()) {
        vext::TheAppState().m_pPadLayouts = nullptr;
    }
}

int CVextKeyApp::DefaultPadType() const {
    return vext::TheAppState().m_nDefaultPadType;
}

void CVextKeyApp::SetDefaultPadType(int nPadType) {
    vext::AppSettings()->setValue(QStringLiteral("Preferences/DefaultPadtype"), nPadType);
    vext::TheAppState().m_nDefaultPadType = nPadType;
}

bool CVextKeyApp::DriverAnswers() const {
    return m_pMainFrame && m_pMainFrame->Driver().Now().bAnswers;
}

void CVextKeyApp::DriverChanged() {
    if (m_pMainFrame) {
        m_pMainFrame->Driver().Refresh();
        m_pMainFrame->OnIdle();
    }
}

CVextKeyApp* CVextKeyApp::Get() {
    return dynamic_cast<CVextKeyApp*>(vext::AfxGetApp());
}

QString CVextKeyApp::ShellFileName(const QStringList& args) {
    const QStringList files = ShellFileNames(args);
    return files.isEmpty() ? QString() : files.front();
}

QStringList CVextKeyApp::ShellFileNames(const QStringList& args) {
    QStringList files;
    for (const QString& strArg : args) {
        // The command-line modes' rule: an absolute path is a file, not a flag written with "/".
        if (!CVextKeyCommandLineInfo::IsFlag(strArg.toStdString(), {})) {
            files.append(strArg);
        }
    }
    return files;
}

bool CVextKeyApp::HandOverToRunningInstance(const QStringList& files) {
    if (files.isEmpty()) {
        return vext::InstanceGuard::NotifyRunningInstance(QString());
    }
    // The first request tells whether an instance runs; it takes the others as well.
    if (!vext::InstanceGuard::NotifyRunningInstance(files.front())) {
        return false;
    }
    for (qsizetype i = 1; i < files.size(); ++i) {
        vext::InstanceGuard::NotifyRunningInstance(files[i]);
    }
    return true;
}

bool CVextKeyApp::InitInstance(const QStringList& args) {
    // One instance: a running one comes forward, takes the files and this start ends. It may
    // run in another folder, so it gets absolute paths.
    QStringList files;
    for (const QString& strFile : ShellFileNames(args)) {
        // Requests to the running instance are lines; such a name cannot travel whole.
        if (strFile.contains('\n') || strFile.contains('\r')) {
            std::fprintf(stderr, "vextkey: a file name with a line break is refused: %s\n",
                         vext::EscapeForLine(strFile.toStdString()).c_str());
            m_nInitExitCode = 1;
            continue;
        }
        files.append(QFileInfo(strFile).absoluteFilePath());
    }
    if (files.isEmpty() && m_nInitExitCode != 0) {
        return false;
    }
    m_pInstance = std::make_unique<vext::InstanceGuard>();
    if (HandOverToRunningInstance(files)) {
        return false;
    }
    if (!m_pInstance->Listen()) {
        if (!m_pInstance->ListenError().isEmpty()) {
            // Without the socket, -ld and files handed over would miss this window: say so
            // rather than run as a second, deaf instance.
            const QString strError =
                QStringLiteral("VextKey cannot start: %1").arg(m_pInstance->ListenError());
            std::fprintf(stderr, "vextkey: %s\n",
                         vext::EscapeForLine(strError.toStdString()).c_str());
            vext::AfxMessageBox(strError, vext::MsgButtons::Ok, vext::MsgIcon::Stop);
            m_nInitExitCode = 1;
            return false;
        }
        HandOverToRunningInstance(files);
        return false;
    }

    m_pInstance->m_fnRunMode = [](vext::InstanceGuard::Mode mode, const QString& strFile) {
        return RunHandedOverMode(mode, strFile);
    };

    m_bAutoMapping = false;
    m_pViewerFrame = nullptr;
    vext::TheAppState().m_bListHasFocus = 0;
    vext::TheAppState().m_bSavedEmulation = 0;
    m_bSilent = 0;
    vext::TheAppState().m_bSilent = false;

    LoadStdProfileSettings(4);
    const int nDefaultPadType =
        vext::AppSettings()->value(QStringLiteral("Preferences/DefaultPadtype"), 0).toInt();
    vext::TheAppState().m_nDefaultPadType =
        vext::FindPadType(nDefaultPadType) ? nDefaultPadType : 0;
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
                     m_pMainFrame.get(), [this](const QString& strPath) { OnHandOver(strPath); });

    // Start-up never makes an empty key set: no file, nothing opens. Of several files (a
    // selection opened from a file manager) one that opens is enough to go on.
    bool bOpened = files.isEmpty();
    for (const QString& strFile : files) {
        bOpened = OpenDocumentFile(strFile) != nullptr || bOpened;
    }
    if (!bOpened) {
        return false;
    }
    m_pMainFrame->show();
    ShowTipAtStartup();
    return true;
}

vext::InstanceGuard::ModeResult CVextKeyApp::RunHandedOverMode(vext::InstanceGuard::Mode mode,
                                                               const QString& strFile) {
    // Exactly what the mode does on its own, in a document of its own: the open key sets and
    // this instance's own state stay as they are.
    vext::AppState& state = vext::TheAppState();
    const bool bWasSilent = state.m_bSilent;
    state.m_bSilent = true;
    std::string strError;
    const int nExitCode = mode == vext::InstanceGuard::Mode::Load
                              ? vext::LoadAndDownload(strFile.toStdString(), strError)
                              : vext::Unload(strError);
    state.m_bSilent = bWasSilent;
    return {nExitCode, QString::fromStdString(strError)};
}

void CVextKeyApp::OnHandOver(const QString& strPath) {
    m_pMainFrame->BringToFront();
    if (!strPath.isEmpty()) {
        vext::FileOperation::WhenFinished([this, strPath] { OpenDocumentFile(strPath); });
    }
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
    // A child of the main window: tiling compositors float it as they do every other dialog.
    CPrefSheet sheet(vext::ResString(117), m_pMainFrame.get());
    sheet.exec();
}

void CVextKeyApp::OnHomePage() {
    QDesktopServices::openUrl(QUrl(vext::ResString(138)));
}

void CVextKeyApp::OnFilePrintSetup() {
    QPageSetupDialog dlg(&GetPrinter(), m_pMainFrame.get());
    dlg.exec();
}
