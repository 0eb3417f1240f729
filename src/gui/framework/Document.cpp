#include "gui/framework/Document.h"

#include "core/platform/AtomicFile.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/CommandRunner.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/FileOperation.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/MDIFrameWnd.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"
#include "gui/framework/ShellStrings.h"
#include "gui/framework/View.h"
#include "gui/framework/WinApp.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace vext {

namespace {

// The mailer's command line reaches shell code that decodes escapes such as \x27 in names, so
// nothing of the user's file name goes there: the attachment is a copy with a plain name, in a
// folder of this process's own (mode 0700) that goes when the program ends.
QString CopyForMail(const QFileInfo& file) {
    static std::unique_ptr<QTemporaryDir> pDir;
    static int nCopies = 0;
    if (!pDir) {
        pDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vextkey-mail"));
        if (!pDir->isValid()) {
            pDir.reset();
            return {};
        }
    }
    QString strBase;
    for (const QChar c : file.completeBaseName().left(64)) {
        const bool bPlain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                            (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '_';
        strBase += bPlain ? c : QChar('_');
    }
    strBase = strBase.trimmed();
    if (strBase.isEmpty()) {
        strBase = QStringLiteral("keyset");
    }
    // A folder per copy keeps two key sets of the same plain name apart.
    const QString strFolder = pDir->filePath(QString::number(++nCopies));
    const QString strCopy = strFolder + QLatin1Char('/') + strBase + QStringLiteral(".vks");
    if (!QDir().mkdir(strFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !QFile::copy(file.absoluteFilePath(), strCopy)) {
        return {};
    }
    return strCopy;
}

// The subject without what a shell or a mailer's argument syntax could read as its own.
QString PlainSubject(const QString& strText) {
    QString strPlain;
    for (const QChar c : strText) {
        if (c == '\\' || c == '"' || c == '\'' || c == '`' || c == '$') {
            continue;
        }
        strPlain += c.category() == QChar::Other_Control ? QChar(' ') : c;
    }
    return strPlain;
}

} // namespace

CDocument::CDocument() {
    OnCommandId(ID_FILE_SAVE, [this] { DoFileSave(); });
    OnCommandId(ID_FILE_SAVE_AS, [this] { DoSave(QString()); });
    OnCommandId(ID_FILE_CLOSE, [this] {
        if (SaveModified()) {
            OnCloseDocument();
        }
    });
    OnCommandId(ID_FILE_SEND_MAIL, [this] { OnFileSendMail(); });
    OnUpdateId(ID_FILE_SEND_MAIL, [this](CCmdUI& ui) { OnUpdateFileSendMail(ui); });
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
    if (strPath.isEmpty()) {
        return DoSave(QString());
    }
    const std::string strWhy = WhyNotWritable(QFile::encodeName(strPath).toStdString());
    if (strWhy.empty()) {
        return DoSave(strPath);
    }
    // Save As follows, as for every file that cannot be replaced; the user hears why first.
    AfxMessageBox(FormatResString(IDS_CANNOT_SAVE_IN_PLACE, QFileInfo(strPath).fileName(),
                                  QString::fromStdString(strWhy)),
                  MsgButtons::Ok, MsgIcon::Warning);
    return DoSave(QString());
}

void CDocument::OnUpdateFileSendMail(CCmdUI& cmdUI) const {
    cmdUI.Enable(!GetPathName().isEmpty() && IsProgramAvailable(QLatin1String(kMailProgram)));
}

void CDocument::OnFileSendMail() {
    if (IsModified()) {
        const QString strName =
            GetPathName().isEmpty() ? GetTitle() : QFileInfo(GetPathName()).fileName();
        switch (AfxMessageBox(FormatResString(IDS_SEND_SAVE_FIRST, strName),
                              MsgButtons::YesNoCancel, MsgIcon::Question)) {
        case IDYES:
            if (!DoFileSave()) {
                return;
            }
            break;
        case IDNO:
            break;
        default:
            return;
        }
    }
    const QString strPath = GetPathName();
    if (strPath.isEmpty()) {
        return;
    }
    const QFileInfo file(strPath);
    if (!file.isFile()) {
        AfxMessageBox(FormatResString(IDS_SEND_FILE_GONE, strPath), MsgButtons::Ok, MsgIcon::Stop);
        return;
    }
    CommandRunner& runner = TheCommandRunner();
    const QString strMailer = runner.FindProgram(QLatin1String(kMailProgram));
    if (strMailer.isEmpty()) {
        return;
    }
    const QString strCopy = CopyForMail(file);
    if (strCopy.isEmpty()) {
        AfxMessageBox(FormatResString(IDS_SEND_NO_COPY, strPath), MsgButtons::Ok, MsgIcon::Stop);
        return;
    }
    const QStringList args{QStringLiteral("--subject"),
                           PlainSubject(FormatResString(IDS_SEND_SUBJECT, GetTitle())),
                           QStringLiteral("--attach"), strCopy};
    // The document may be closed before the mail program ends: the answer needs none of it.
    runner.Start(strMailer, args, [](int nExitCode, const QString& strError) {
        if (nExitCode == 0) {
            return;
        }
        // xdg-email's status 3: no tool to open a mail with. Its stderr then lists every
        // browser it tried; its last line is the one that says what went wrong.
        constexpr int kNoMailTool = 3;
        const QStringList lines = strError.split('\n', Qt::SkipEmptyParts);
        QString strWhy;
        if (nExitCode == kNoMailTool) {
            strWhy = ResString(IDS_SEND_NO_MAILER);
        } else if (!lines.isEmpty()) {
            strWhy = lines.back().trimmed();
        } else {
            strWhy = FormatResString(IDS_SEND_EXIT_STATUS, QString::number(nExitCode));
        }
        AfxMessageBox(FormatResString(IDS_SEND_FAILED, strWhy), MsgButtons::Ok, MsgIcon::Stop);
    });
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
