#include "gui/framework/DocTemplate.h"

#include "gui/framework/CmdIds.h"
#include "gui/framework/Document.h"
#include "gui/framework/FileOperation.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/MDIFrameWnd.h"
#include "gui/framework/MdiPlacement.h"
#include "gui/framework/Placement.h"
#include "gui/framework/Resources.h"
#include "gui/framework/View.h"
#include "gui/framework/WinApp.h"

#include <QCoreApplication>
#include <QMdiArea>
#include <QTimer>

namespace vext {

namespace {

std::vector<CDocument*>& PendingDeletes() {
    static std::vector<CDocument*> docs;
    return docs;
}

} // namespace

void FlushDeletedDocuments() {
    std::vector<CDocument*> docs;
    docs.swap(PendingDeletes());
    for (CDocument* pDoc : docs) {
        delete pDoc;
    }
}

CDocTemplate::CDocTemplate(int nIDResource, DocFactory fnDoc, FrameFactory fnFrame,
                           ViewFactory fnView)
    : m_nIDResource(nIDResource), m_fnDoc(std::move(fnDoc)), m_fnFrame(std::move(fnFrame)),
      m_fnView(std::move(fnView)) {}

CDocTemplate::~CDocTemplate() = default;

QString CDocTemplate::GetDocString(int nIndex) const {
    return DocString(m_nIDResource, nIndex);
}

CDocument* CDocTemplate::CreateNewDocument() {
    if (!m_fnDoc) {
        return nullptr;
    }
    std::unique_ptr<CDocument> pDoc = m_fnDoc();
    if (!pDoc) {
        return nullptr;
    }
    pDoc->SetDocTemplate(this);
    m_docs.push_back(std::move(pDoc));
    return m_docs.back().get();
}

CMDIChildWnd* CDocTemplate::CreateNewFrame(CDocument* pDoc, CMDIChildWnd*) {
    CMDIFrameWnd* pMain = AfxGetMainWnd();
    if (!pMain || !m_fnFrame || !m_fnView) {
        return nullptr;
    }
    CMDIChildWnd* pFrame = m_fnFrame();
    if (!pFrame) {
        return nullptr;
    }
    pFrame->SetMenuResource(m_nIDResource);
    pFrame->setWindowIcon(pMain->windowIcon());
    CView* pView = m_fnView();
    pFrame->SetView(pView);
    if (pDoc) {
        pDoc->AddView(pView);
    }
    pMain->MdiArea()->addSubWindow(pFrame);
    pFrame->hide();
    pFrame->PreCreateWindow();
    return pFrame;
}

void CDocTemplate::InitialUpdateFrame(CMDIChildWnd* pFrame, CDocument* pDoc, bool bMakeVisible) {
    if (CView* pView = pFrame->GetActiveView()) {
        pView->OnInitialUpdate();
    }
    if (pDoc) {
        pDoc->UpdateFrameCounts();
    } else {
        pFrame->OnUpdateFrameTitle(0);
    }
    if (bMakeVisible) {
        // Placed now that it has its size (the area placed it when it was added, at whatever
        // size it had then); a place read from the key set stays while its title bar shows.
        if (QMdiArea* pArea = pFrame->mdiArea()) {
            if (HasPendingPlacement(pFrame)) {
                KeepTitleBarInside(pArea, pFrame);
            } else {
                pFrame->move(FreePlace(pArea, pFrame));
            }
        }
        ShowWithPlacement(pFrame);
        if (QMdiArea* pArea = pFrame->mdiArea()) {
            pArea->setActiveSubWindow(pFrame);
        }
        if (CView* pView = pFrame->GetActiveView()) {
            pView->setFocus();
        }
    }
}

void CDocTemplate::SetDefaultTitle(CDocument* pDoc) {
    QString strName = GetDocString(docName);
    if (strName.isEmpty()) {
        strName = ResString(AFX_IDS_UNTITLED);
    }
    pDoc->SetTitle(strName + QString::number(++m_nUntitledCount));
}

CDocument* CDocTemplate::OpenDocumentFile(const QString& strPath, bool bMakeVisible) {
    const FileOperation operation;
    CDocument* pDoc = CreateNewDocument();
    if (!pDoc) {
        return nullptr;
    }
    CMDIChildWnd* pFrame = CreateNewFrame(pDoc, nullptr);
    if (!pFrame) {
        RemoveDocument(pDoc);
        return nullptr;
    }
    bool bOk;
    if (strPath.isEmpty()) {
        SetDefaultTitle(pDoc);
        bOk = pDoc->OnNewDocument();
    } else {
        bOk = pDoc->OnOpenDocument(strPath);
        if (bOk) {
            pDoc->SetPathName(strPath);
        }
    }
    if (!bOk) {
        pDoc->OnCloseDocument();
        return nullptr;
    }
    InitialUpdateFrame(pFrame, pDoc, bMakeVisible);
    return pDoc;
}

std::vector<CDocument*> CDocTemplate::GetDocuments() const {
    std::vector<CDocument*> docs;
    for (const auto& pDoc : m_docs) {
        docs.push_back(pDoc.get());
    }
    return docs;
}

void CDocTemplate::RemoveDocument(CDocument* pDoc) {
    for (auto it = m_docs.begin(); it != m_docs.end(); ++it) {
        if (it->get() == pDoc) {
            // The caller may be running one of the document's own handlers: free it later.
            PendingDeletes().push_back(it->release());
            m_docs.erase(it);
            if (PendingDeletes().size() == 1 && QCoreApplication::instance()) {
                QTimer::singleShot(0, QCoreApplication::instance(), &FlushDeletedDocuments);
            }
            return;
        }
    }
}

bool CDocTemplate::SaveAllModified() {
    for (CDocument* pDoc : GetDocuments()) {
        if (!pDoc->SaveModified()) {
            return false;
        }
    }
    return true;
}

void CDocTemplate::CloseAllDocuments() {
    for (CDocument* pDoc : GetDocuments()) {
        pDoc->OnCloseDocument();
    }
}

} // namespace vext
