#pragma once

// Makes a document, its child frame and its view, and keeps the documents it made. The document
// strings (string resource with the template's ID) name new documents and the file type.

#include <functional>
#include <memory>
#include <vector>

#include <QString>

namespace vext {

class CDocument;
class CMDIChildWnd;
class CView;

class CDocTemplate {
public:
    enum DocStringIndex {
        windowTitle = 0,
        docName = 1,
        fileNewName = 2,
        filterName = 3,
        filterExt = 4,
    };
    using DocFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<CMDIChildWnd*()>;
    using ViewFactory = std::function<CView*()>;

    CDocTemplate(int nIDResource, DocFactory fnDoc, FrameFactory fnFrame, ViewFactory fnView);
    virtual ~CDocTemplate();
    CDocTemplate(const CDocTemplate&) = delete;
    CDocTemplate& operator=(const CDocTemplate&) = delete;

    int GetResourceID() const { return m_nIDResource; }
    QString GetDocString(int nIndex) const;

    // Opens strPath into a new document and frame, or a new untitled document when strPath is
    // empty. Returns the document, or nullptr when nothing was opened.
    virtual CDocument* OpenDocumentFile(const QString& strPath, bool bMakeVisible = true);

    CDocument* CreateNewDocument();
    // A new, hidden frame with a view on pDoc (which may be null) in the main window.
    CMDIChildWnd* CreateNewFrame(CDocument* pDoc, CMDIChildWnd* pOther);
    // Runs the view's initial update and shows and activates the frame.
    void InitialUpdateFrame(CMDIChildWnd* pFrame, CDocument* pDoc, bool bMakeVisible = true);
    void SetDefaultTitle(CDocument* pDoc);

    std::vector<CDocument*> GetDocuments() const;
    // Takes the document off the list; it is freed once control returns to the event loop.
    void RemoveDocument(CDocument* pDoc);
    bool SaveAllModified();
    void CloseAllDocuments();

private:
    int m_nIDResource;
    DocFactory m_fnDoc;
    FrameFactory m_fnFrame;
    ViewFactory m_fnView;
    std::vector<std::unique_ptr<CDocument>> m_docs;
    int m_nUntitledCount = 0;
};

// Frees the documents that templates let go of; runs from the event loop and at exit.
void FlushDeletedDocuments();

} // namespace vext
