#pragma once

// A stand-in for the windows of a document: records what the document asks of them and answers
// with the open pad windows and placements a test sets up.

#include "core/model/DocViews.h"

#include <array>
#include <set>
#include <string>
#include <vector>

namespace vext::test {

class FakeDocViews : public IDocViews {
public:
    // Set up by tests.
    bool bFunctionList = true;
    std::set<int> openPads;
    WindowPlacement mainPlacement{};
    WindowPlacement listPlacement{};
    std::array<WindowPlacement, 5> padPlacements{}; // by slot, index 0 unused

    // Recorded.
    std::vector<std::string> calls;
    int nChangesPending = 0;
    int nContentsReplaced = 0;

    bool HasFunctionListView() const override { return bFunctionList; }
    bool IsPadViewOpen(int nSlot) const override { return openPads.count(nSlot) != 0; }
    int FindFunctionItem(int) const override { return -1; }
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
    void ChangePending() override { ++nChangesPending; }
    void ContentsReplaced() override { ++nContentsReplaced; }
};

} // namespace vext::test
