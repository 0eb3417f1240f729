#pragma once

// The application object of the document/view layer: the templates, the recent-file list, the
// settings and the framework's New, Open and recent-file commands.

#include "gui/framework/CmdTarget.h"
#include "gui/framework/RecentFileList.h"

#include <memory>
#include <vector>

#include <QString>

class QPrinter;
class QSettings;

namespace vext {

class CDocTemplate;
class CDocument;
class CMDIFrameWnd;

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;

    CDocTemplate* AddDocTemplate(std::unique_ptr<CDocTemplate> pTemplate);
    const std::vector<std::unique_ptr<CDocTemplate>>& GetTemplates() const { return m_templates; }

    // An open document with that path is activated; otherwise the first template opens it.
    virtual CDocument* OpenDocumentFile(const QString& strPath);
    void OnFileNew();
    void OnFileOpen();
    void OnOpenRecentFile(int nID);
    void AddToRecentFileList(const QString& strPath);
    CRecentFileList* GetRecentFileList() const { return m_pRecentFileList.get(); }

    // Asks about every modified document; false when the user cancelled.
    bool SaveAllModified();
    void CloseAllDocuments();

    void LoadStdProfileSettings(int nMaxMRU);
    void SaveStdProfileSettings();

    // The printer that Print Setup and every print command share: the default printer until
    // the user picks another.
    QPrinter& GetPrinter();

    CMDIFrameWnd* m_pMainWnd = nullptr;
    // Pages side by side in print preview, kept as "Settings"/"PreviewPages"; 0 until chosen.
    int m_nNumPreviewPages = 0;

protected:
    std::unique_ptr<CRecentFileList> m_pRecentFileList;

private:
    std::vector<std::unique_ptr<CDocTemplate>> m_templates;
    std::unique_ptr<QPrinter> m_pPrinter;
};

CWinApp* AfxGetApp();
CMDIFrameWnd* AfxGetMainWnd();
// The program's settings: QSettings("Zelvan", "VextKey").
std::unique_ptr<QSettings> AppSettings();

} // namespace vext
