#pragma once

// One open key set: its functions in list order, the mapping of pad buttons to functions, the
// pad type of each slot, the cookie counter and the saved pad-window placements. Window work goes
// through an attached IDocViews; without one the document acts as if no view were open.

#include "core/model/KeyFunction.h"
#include "core/model/MappingTable.h"
#include "core/model/UndoHistory.h"
#include "core/model/WindowPlacement.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vext {
class IDocViews;
class IKeySetSource;
class IPadTypeSource;
class IProgressFactory;
class ProfileFile;
} // namespace vext

class CVextKeyDoc {
public:
    static constexpr int kSlotCount = 4;

    CVextKeyDoc();
    virtual ~CVextKeyDoc();
    CVextKeyDoc(const CVextKeyDoc&) = delete;
    CVextKeyDoc& operator=(const CVextKeyDoc&) = delete;

    // The data of the key set.
    std::vector<std::unique_ptr<CKeyFunction>> m_functions;
    vext::MappingTable m_mappings;
    std::vector<int32_t> m_padTypes;
    int32_t m_nLastCookie = 0;
    std::array<vext::WindowPlacement, kSlotCount> m_padPlacements{};

    // Views.
    void AttachViews(vext::IDocViews* pViews) { m_pViews = pViews; }
    vext::IDocViews* Views() const { return m_pViews; }
    // The progress window of file reads and writes; none is shown without it.
    void AttachProgress(vext::IProgressFactory* pFactory) { m_pProgressFactory = pFactory; }
    // Where a new key set learns the pads in the slots; without one, each has the default type.
    void AttachPadTypes(vext::IPadTypeSource* pSource) { m_pPadTypeSource = pSource; }

    // Document state.
    bool IsModified() const { return m_bModified; }
    // Marking the document modified opens an undo step (the views hear of it once); clearing
    // the mark says the current state is the one on disk.
    void SetModifiedFlag(bool bModified = true);
    const std::string& GetTitle() const { return m_strTitle; }
    void SetTitle(const std::string& strTitle) { m_strTitle = strTitle; }
    const std::string& GetPathName() const { return m_strPathName; }
    // Sets the path and makes the title its file name without the last extension.
    void SetPathName(const std::string& strPath, bool bAddToMRU = true);
    static std::string TitleFromPath(const std::string& strPath);

    // Lifecycle.
    virtual void DeleteContents();
    virtual bool OnNewDocument();

    // Identity and lookup.
    virtual int NewCookie();
    CKeyFunction* FindFunction(int nCookie) const;
    int FindFunctionIndex(int nCookie) const;
    int FindFunctionItem(int nCookie) const;

    // Mappings.
    bool MapButton(int nCookie, uint32_t nButtonId);
    bool UnmapButton(uint32_t nButtonId);
    bool SwapButtons(uint32_t nFirst, uint32_t nSecond);
    CKeyFunction* FindMappedFunction(int nSlot, int nX, int nY, int nKind) const;
    bool IsFunctionMapped(int nCookie) const;
    bool PadHasMappings(int nSlot) const;

    // Functions. AddFunction gives the record a fresh cookie, clears its link and step-down flag,
    // appends it and, for a Step function, its companion right after it.
    CKeyFunction* AddFunction(std::unique_ptr<CKeyFunction> pFunction);
    bool DeleteFunction(int nCookie, bool bWithLinked);
    // The function the property sheet edits for a selected cookie: a companion's Step function.
    CKeyFunction* EditTarget(int nCookie) const;
    // After the sheet wrote its fields back into pFunction: keeps the companion in step with a
    // mode change (created after it, or deleted with its mappings) and marks the document.
    void FinishEdit(CKeyFunction* pFunction, int32_t nOldMode);

    // Undo and Redo. Every change since the last checkpoint is one step: the window layer
    // checkpoints once a user's action is done. Undo and Redo restore a whole state, tell the
    // views through ContentsReplaced and clear the modified mark on coming back to the saved
    // state.
    void CheckpointChange();
    bool CanUndo() const { return m_bChangePending || m_history.CanUndo(); }
    bool CanRedo() const { return !m_bChangePending && m_history.CanRedo(); }
    bool Undo();
    bool Redo();

    // Pad slots, 1 to 4. A slot the document holds no type for shows the default pad type.
    int GetPadType(int nSlot) const;
    // Marks the key set modified unless told not to (a pad window recording what it shows).
    void SetPadType(int nSlot, int nPadType, bool bMarkModified = true);
    // Buttons of the slot's pad type in the application's layout table.
    int GetPadButtonCount(int nSlot) const;

    // The driver. Writes the key set as the driver's record, replacing the one it had, then
    // makes the driver reload it. False, with the reason in *pError, when the record could not
    // be written (the previous one is then left whole) or the running driver did not load it
    // (refused it as damaged or unreadable, or found none in its own store).
    bool DownloadToDriver(std::string* pError = nullptr);

    // The key-set file. Both return false on failure and say why in GetFileError(); a failed
    // save keeps the modified flag.
    virtual bool OnOpenDocument(const std::string& strPath);
    virtual bool OnSaveDocument(const std::string& strPath);
    const std::string& GetFileError() const { return m_strFileError; }
    // The reading steps after the file is parsed, from any source of its keys.
    bool ReadKeySet(const vext::IKeySetSource& source);
    static void ReadPlacement(const vext::IKeySetSource& source, const char* pszSection,
                              const char* pszKey, vext::WindowPlacement& wp);
    static void WritePlacement(vext::ProfileFile& file, const char* pszSection, const char* pszKey,
                               const vext::WindowPlacement& wp);

    // Windows, through the attached views.
    bool IsPadViewOpen(int nSlot) const;
    bool HasFunctionListView() const;
    void TogglePadView(int nSlot);
    void CheckPadButton(int nSlot, int nCheck);

private:
    CKeyFunction* InsertFunction(size_t nIndex, std::unique_ptr<CKeyFunction> pFunction);
    CKeyFunction* InsertCompanion(CKeyFunction* pStep, size_t nIndex);
    // The cookie f links to, 0 for none; a link naming f itself (a damaged file) names none.
    static int32_t LinkOf(const CKeyFunction& f);
    void RemoveFunctionAt(size_t nIndex);

    bool Refuse(std::string strError);
    // The history starts again from what the document now holds, unmodified.
    void StartHistory();
    void RestoreState(const vext::KeySetState& state);
    bool TakeStep(const vext::KeySetState* (vext::UndoHistory::*step)());

    vext::IDocViews* m_pViews = nullptr;
    vext::IProgressFactory* m_pProgressFactory = nullptr;
    vext::IPadTypeSource* m_pPadTypeSource = nullptr;
    std::string m_strFileError;
    bool m_bModified = false;
    bool m_bChangePending = false;
    vext::UndoHistory m_history;
    std::string m_strTitle;
    std::string m_strPathName;
};
