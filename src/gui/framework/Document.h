#pragma once

// A document of the document/view layer: the views that show it, its template, and the file
// commands (Save, Save As, Close) with the "save changes?" rule. What the document holds and how
// it reads and writes files belong to the subclass.

#include "gui/framework/CmdTarget.h"

#include <vector>

#include <QString>

namespace vext {

class CDocTemplate;
class CMDIChildWnd;
class CView;

class CDocument : public CCmdTarget {
public:
    CDocument();
    ~CDocument() override;

    virtual bool IsModified() const = 0;
    virtual void SetModifiedFlag(bool bModified = true) = 0;
    virtual QString GetTitle() const = 0;
    virtual void SetTitle(const QString& strTitle) = 0;
    virtual QString GetPathName() const = 0;
    virtual void SetPathName(const QString& strPath, bool bAddToMRU = true) = 0;

    virtual bool OnNewDocument() = 0;
    virtual bool OnOpenDocument(const QString& strPath) = 0;
    virtual bool OnSaveDocument(const QString& strPath) = 0;
    // Why the last open or save failed, when the document knows.
    virtual QString GetFileError() const { return {}; }
    // Closes every frame that shows the document, then lets the template free it.
    virtual void OnCloseDocument();

    // Whether closing pFrame closes the whole document (by default: it is the last frame).
    virtual bool ClosesWithFrame(CMDIChildWnd* pFrame) const;
    // Asks to save first when closing pFrame closes the document; false cancels the close.
    virtual bool CanCloseFrame(CMDIChildWnd* pFrame);
    // "Save changes to ...?": Yes saves (false if that fails), No discards, Cancel keeps.
    virtual bool SaveModified();
    // Saves to strPath, or asks for a name first when it is empty or bReplace is set.
    bool DoSave(const QString& strPath, bool bReplace = true);
    bool DoFileSave();

    // File Send Mail: attaches the saved file to a new mail through xdg-email, after offering
    // to save changes first. Enabled while xdg-email is there and the document has a file.
    void OnFileSendMail();
    void OnUpdateFileSendMail(CCmdUI& cmdUI) const;
    // The program that Send runs.
    static constexpr const char* kMailProgram = "xdg-email";

    void UpdateAllViews(CView* pSender, int nHint = 0);
    void AddView(CView* pView);
    void RemoveView(CView* pView);
    const std::vector<CView*>& GetViews() const { return m_views; }
    std::vector<CMDIChildWnd*> GetFrames() const;
    // Retitles the frames: "Title", or "Title:1", "Title:2" when several show the document.
    void UpdateFrameCounts();

    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    void SetDocTemplate(CDocTemplate* pTemplate) { m_pDocTemplate = pTemplate; }
    bool IsClosing() const { return m_bClosing; }

private:
    std::vector<CView*> m_views;
    CDocTemplate* m_pDocTemplate = nullptr;
    bool m_bClosing = false;
};

} // namespace vext
