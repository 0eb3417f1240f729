#pragma once

// The key-set document in the window layer: the core's CVextKeyDoc with the frames and views
// that show it. It answers the core document's questions about its windows.

#include "core/driver/DriverPadTypes.h"
#include "core/model/DocViews.h"
#include "core/model/VextKeyDoc.h"
#include "gui/dialogs/ProgressFactory.h"
#include "gui/framework/Document.h"

#include <memory>

class QTimer;

class CVextKeyView;
class CVextPadView;

namespace vext {

class KeySetDocument : public CDocument, public IDocViews {
public:
    KeySetDocument();
    ~KeySetDocument() override;

    CVextKeyDoc& Doc() { return *m_pDoc; }
    const CVextKeyDoc& Doc() const { return *m_pDoc; }

    // CDocument
    bool IsModified() const override;
    void SetModifiedFlag(bool bModified = true) override;
    QString GetTitle() const override;
    void SetTitle(const QString& strTitle) override;
    QString GetPathName() const override;
    void SetPathName(const QString& strPath, bool bAddToMRU = true) override;
    bool OnNewDocument() override;
    bool OnOpenDocument(const QString& strPath) override;
    bool OnSaveDocument(const QString& strPath) override;
    QString GetFileError() const override;
    // Closing the function list closes the pad windows and the document with it.
    bool ClosesWithFrame(CMDIChildWnd* pFrame) const override;

    // Configure Vext: hands the key set to the driver, or says why it could not.
    void OnConfigureVext();

    CVextKeyView* FunctionListView() const;
    CVextPadView* PadView(int nSlot) const;

    // IDocViews
    bool HasFunctionListView() const override;
    bool IsPadViewOpen(int nSlot) const override;
    int FindFunctionItem(int nCookie) const override;
    void TogglePadView(int nSlot) override;
    void CheckPadButton(int nSlot, int nCheck) override;
    void RefreshPadButton(int nSlot, int nKind, int nX, int nY) override;
    void FunctionInserted(int nIndex) override;
    void FunctionRemoved(int nIndex) override;
    void FunctionChanged(int nIndex) override;
    bool GetMainWindowPlacement(WindowPlacement& wp) const override;
    void SetMainWindowPlacement(const WindowPlacement& wp) override;
    bool GetFunctionListPlacement(WindowPlacement& wp) const override;
    void SetFunctionListPlacement(const WindowPlacement& wp) override;
    bool GetPadWindowPlacement(int nSlot, WindowPlacement& wp) const override;
    void SetFunctionListCaption(const std::string& strCaption) override;
    void SetPadWindowCaption(int nSlot, const std::string& strCaption) override;
    void UpdateAllViews() override;
    void AddToRecentFileList(const std::string& strPath) override;
    void ChangePending() override;
    void ContentsReplaced() override;

private:
    ProgressDlgFactory m_progress;
    DriverPadTypes m_padTypes;
    std::unique_ptr<CVextKeyDoc> m_pDoc;
    // Closes the undo step once the user's action is done: at the next turn of the event loop,
    // or once Auto Mapping is off, so that one run of it is one step.
    std::unique_ptr<QTimer> m_pCheckpointTimer;
};

} // namespace vext
