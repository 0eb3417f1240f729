#include "gui/framework/WinApp.h"

#include "core/model/PrintSheet.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/Document.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/MDIFrameWnd.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"
#include "gui/framework/View.h"

#include <QFileInfo>
#include <QMarginsF>
#include <QMdiArea>
#include <QPageLayout>
#include <QPrinter>
#include <QSettings>

namespace vext {

namespace {

CWinApp* g_pApp = nullptr;

const char kPreviewPagesKey[] = "Settings/PreviewPages";

} // namespace

CWinApp::CWinApp() {
    g_pApp = this;
    OnCommandId(ID_FILE_NEW, [this] { OnFileNew(); });
    OnCommandId(ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommandRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE4,
                   [this](int nID) { OnOpenRecentFile(nID); });
}

CWinApp::~CWinApp() {
    for (const auto& pTemplate : m_templates) {
        for (CDocument* pDoc : pTemplate->GetDocuments()) {
            pTemplate->RemoveDocument(pDoc);
        }
    }
    FlushDeletedDocuments();
    if (g_pApp == this) {
        g_pApp = nullptr;
    }
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

CMDIFrameWnd* AfxGetMainWnd() {
    return g_pApp ? g_pApp->m_pMainWnd : nullptr;
}

std::unique_ptr<QSettings> AppSettings() {
    return std::make_unique<QSettings>(QStringLiteral("Zelvan"), QStringLiteral("VextKey"));
}

CDocTemplate* CWinApp::AddDocTemplate(std::unique_ptr<CDocTemplate> pTemplate) {
    m_templates.push_back(std::move(pTemplate));
    return m_templates.back().get();
}

CDocument* CWinApp::OpenDocumentFile(const QString& strPath) {
    if (m_templates.empty()) {
        return nullptr;
    }
    const QString strFull = QFileInfo(strPath).absoluteFilePath();
    for (const auto& pTemplate : m_templates) {
        for (CDocument* pDoc : pTemplate->GetDocuments()) {
            if (!pDoc->GetPathName().isEmpty() &&
                QFileInfo(pDoc->GetPathName()).absoluteFilePath() == strFull) {
                const std::vector<CMDIChildWnd*> frames = pDoc->GetFrames();
                if (!frames.empty() && frames.front()->mdiArea()) {
                    frames.front()->mdiArea()->setActiveSubWindow(frames.front());
                }
                return pDoc;
            }
        }
    }
    return m_templates.front()->OpenDocumentFile(strFull);
}

void CWinApp::OnFileNew() {
    if (!m_templates.empty()) {
        m_templates.front()->OpenDocumentFile(QString());
    }
}

void CWinApp::OnFileOpen() {
    if (m_templates.empty()) {
        return;
    }
    const CDocTemplate& tmpl = *m_templates.front();
    const QString strFilter =
        tmpl.GetDocString(CDocTemplate::filterName) + ";;" + ResString(AFX_IDS_ALLFILTER);
    const QString strPath =
        PromptOpenFileName(AfxGetMainWnd(), ResString(AFX_IDS_OPENFILE), strFilter);
    if (!strPath.isEmpty()) {
        OpenDocumentFile(strPath);
    }
}

void CWinApp::OnOpenRecentFile(int nID) {
    const int nIndex = nID - ID_FILE_MRU_FILE1;
    if (!m_pRecentFileList || nIndex < 0 || nIndex >= m_pRecentFileList->Files().size()) {
        return;
    }
    const QString strPath = m_pRecentFileList->Files()[nIndex];
    if (!OpenDocumentFile(strPath)) {
        m_pRecentFileList->Remove(nIndex);
    }
}

void CWinApp::AddToRecentFileList(const QString& strPath) {
    if (m_pRecentFileList) {
        m_pRecentFileList->Add(strPath);
    }
}

bool CWinApp::SaveAllModified() {
    for (const auto& pTemplate : m_templates) {
        if (!pTemplate->SaveAllModified()) {
            return false;
        }
    }
    return true;
}

void CWinApp::CloseAllDocuments() {
    for (const auto& pTemplate : m_templates) {
        pTemplate->CloseAllDocuments();
    }
}

void CWinApp::LoadStdProfileSettings(int nMaxMRU) {
    m_pRecentFileList = std::make_unique<CRecentFileList>(nMaxMRU);
    auto pSettings = AppSettings();
    m_pRecentFileList->ReadList(*pSettings);
    m_nNumPreviewPages = pSettings->value(QLatin1String(kPreviewPagesKey), 0).toInt();
}

void CWinApp::SaveStdProfileSettings() {
    auto pSettings = AppSettings();
    if (m_pRecentFileList) {
        m_pRecentFileList->WriteList(*pSettings);
    }
    if (m_nNumPreviewPages != 0) {
        pSettings->setValue(QLatin1String(kPreviewPagesKey), m_nNumPreviewPages);
    }
}

QPrinter& CWinApp::GetPrinter() {
    if (!m_pPrinter) {
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // The program prints pad sheets, which are wider than tall, with a margin any printer
        // prints; Print Setup starts from that.
        m_pPrinter->setPageOrientation(QPageLayout::Landscape);
        m_pPrinter->setPageMargins(
            QMarginsF(kSheetMarginMm, kSheetMarginMm, kSheetMarginMm, kSheetMarginMm),
            QPageLayout::Millimeter);
    }
    return *m_pPrinter;
}

} // namespace vext
