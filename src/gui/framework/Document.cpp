#include "framework/Document.h"

#include "framework/CmdIds.h"
#include "framework/DocTemplate.h"
#include "framework/FileOperation.h"
#include "framework/MDIChildWnd.h"
#include "framework/MDIFrameWnd.h"
#include "framework/Prompts.h"
#include "framework/Resources.h"
#include "framework/View.h"
#include "framework/WinApp.h"

#include <algorithm>
#include <map>

#include <QFileInfo>

namespace vext {

CDocument::CDocument() {
    OnCommandId(ID_FILE_SAVE, [this] { DoFileSave(); });
    OnCommandId(ID_FILE_SAVE_AS, [this] { DoSave(QString()); });
    OnCommandId(ID_FILE_CLOSE, [this] {
        if (SaveModified()) {
            OnCloseDocument();
        }
    });
}

CDocument::~CDocument() {
    for (CView* pView : m_views) {
        pView->m_pDocument = nullptr;
    }
}

void CDocument::OnCloseDocument() {
    if (m_bClosing) {
        return;
    }
    m_bClosing = true;
    for (CMDIChildWnd* pFrame : GetFrames()) {
        pFrame->DestroyFrame();
    }
    if (m_pDocTemplate) {
        m_pDocTemplate->RemoveDocument(this);
    }
}

bool CDocument::ClosesWithFrame(CMDIChildWnd* pFrame) const {
    for (CMDIChildWnd* pOther : GetFrames()) {
        if (pOther != pFrame) {
            return false;
        }
    }
    return true;
}

bool CDocument::CanCloseFrame(CMDIChildWnd* pFrame) {
    return !ClosesWithFrame(pFrame) || SaveModified();
}

bool CDocument::SaveModified() {
    if (!IsModified()) {
        return true;
    }
    QString strName = GetPathName();
    strName = strName.isEmpty() ? GetTitle() : QFileInfo(strName).fileName();
    switch (AfxMessageBox(FormatResString(AFX_IDP_ASK_TO_SAVE, strName), MsgButtons::YesNoCancel,
                          MsgIcon::Warning)) {
    case IDYES:
        return DoFileSave();
    case IDNO:
        return true;
    default:
        return false;
    }
}

bool CDocument::DoSave(const QString& strPath, bool bReplace) {
    QString strNewName = strPath;
    if (strNewName.isEmpty()) {
        QString strSuggested = GetPathName();
        if (strSuggested.isEmpty() && m_pDocTemplate) {
            strSuggested = GetTitle() + m_pDocTemplate->GetDocString(CDocTemplate::filterExt);
        }
        QString strFilter;
        if (m_pDocTemplate) {
            strFilter = m_pDocTemplate->GetDocString(CDocTemplate::filterName) + ";;" +
                        ResString(AFX_IDS_ALLFILTER);
        }
        strNewName = PromptSaveFileName(AfxGetMainWnd(), ResString(AFX_IDS_SAVEFILE), strSuggested,
                                        strFilter);
        if (strNewName.isEmpty()) {
            return false;
        }
        if (m_pDocTemplate && QFileInfo(strNewName).suffix().isEmpty()) {
            strNewName += m_pDocTemplate->GetDocString(CDocTemplate::filterExt);
        }
    }
    const FileOperation operation;
    if (!OnSaveDocument(strNewName)) {
        AfxMessageBox(FormatResString(AFX_IDP_FAILED_TO_SAVE_DOC, GetFileError()), MsgButtons::Ok,
                      MsgIcon::Stop);
        return false;
    }
    if (bReplace) {
        SetPathName(strNewName);
        UpdateFrameCounts();
    }
    return true;
}

bool CDocument::DoFileSave() {
    const QString strPath = GetPathName();
    if (strPath.isEmpty() || (QFileInfo::exists(strPath) && !QFileInfo(strPath).isWritable())) {
        return DoSave(QString());
    }
    return DoSave(strPath);
}

void CDocument::UpdateAllViews(CView* pSender, int nHint) {
    const std::vector<CView*> views = m_views;
    for (CView* pView : views) {
        if (pView != pSender) {
            pView->OnUpdate(pSender, nHint);
        }
    }
}

void CDocument::AddView(CView* pView) {
    if (std::find(m_views.begin(), m_views.end(), pView) == m_views.end()) {
        m_views.push_back(pView);
        pView->m_pDocument = this;
    }
}

void CDocument::RemoveView(CView* pView) {
    auto it = std::find(m_views.begin(), m_views.end(), pView);
    if (it != m_views.end()) {
        m_views.erase(it);
        pView->m_pDocument = nullptr;
    }
}

std::vector<CMDIChildWnd*> CDocument::GetFrames() const {
    std::vector<CMDIChildWnd*> frames;
    for (CView* pView : m_views) {
        CMDIChildWnd* pFrame = pView->GetParentFrame();
        if (pFrame && !pFrame->IsDestroying() &&
            std::find(frames.begin(), frames.end(), pFrame) == frames.end()) {
            frames.push_back(pFrame);
        }
    }
    return frames;
}

void CDocument::UpdateFrameCounts() {
    // Frames of one kind are numbered when there are several; other kinds title themselves.
    const std::vector<CMDIChildWnd*> frames = GetFrames();
    std::map<int, int> kinds;
    for (CMDIChildWnd* pFrame : frames) {
        ++kinds[pFrame->GetMenuResource()];
    }
    std::map<int, int> next;
    for (CMDIChildWnd* pFrame : frames) {
        const int nKind = pFrame->GetMenuResource();
        pFrame->OnUpdateFrameTitle(kinds[nKind] > 1 ? ++next[nKind] : 0);
    }
}

} // namespace vext
