#include "FakeDocViews.h"

namespace vext::test {

namespace {
std::string Placement(const char* what, const WindowPlacement& wp) {
    return std::string(what) + " " + std::to_string(wp.left) + "," + std::to_string(wp.top);
}
} // namespace

void FakeDocViews::TogglePadView(int nSlot) {
    calls.push_back("TogglePadView " + std::to_string(nSlot));
    if (!openPads.erase(nSlot)) {
        openPads.insert(nSlot);
    }
}

void FakeDocViews::CheckPadButton(int nSlot, int nCheck) {
    calls.push_back("CheckPadButton " + std::to_string(nSlot) + " " + std::to_string(nCheck));
}

void FakeDocViews::RefreshPadButton(int nSlot, int nKind, int nX, int nY) {
    calls.push_back("RefreshPadButton " + std::to_string(nSlot) + " " + std::to_string(nKind) +
                    " " + std::to_string(nX) + " " + std::to_string(nY));
}

void FakeDocViews::FunctionInserted(int nIndex) {
    calls.push_back("FunctionInserted " + std::to_string(nIndex));
}

void FakeDocViews::FunctionRemoved(int nIndex) {
    calls.push_back("FunctionRemoved " + std::to_string(nIndex));
}

void FakeDocViews::FunctionChanged(int nIndex) {
    calls.push_back("FunctionChanged " + std::to_string(nIndex));
}

bool FakeDocViews::GetMainWindowPlacement(WindowPlacement& wp) const {
    wp = mainPlacement;
    return true;
}

void FakeDocViews::SetMainWindowPlacement(const WindowPlacement& wp) {
    mainPlacement = wp;
    calls.push_back(Placement("SetMainWindowPlacement", wp));
}

bool FakeDocViews::GetFunctionListPlacement(WindowPlacement& wp) const {
    wp = listPlacement;
    return bFunctionList;
}

void FakeDocViews::SetFunctionListPlacement(const WindowPlacement& wp) {
    listPlacement = wp;
    calls.push_back(Placement("SetFunctionListPlacement", wp));
}

bool FakeDocViews::GetPadWindowPlacement(int nSlot, WindowPlacement& wp) const {
    if (nSlot < 1 || nSlot > 4 || !IsPadViewOpen(nSlot)) {
        return false;
    }
    wp = padPlacements[static_cast<size_t>(nSlot)];
    return true;
}

void FakeDocViews::SetFunctionListCaption(const std::string& strCaption) {
    calls.push_back("SetFunctionListCaption " + strCaption);
}

void FakeDocViews::SetPadWindowCaption(int nSlot, const std::string& strCaption) {
    calls.push_back("SetPadWindowCaption " + std::to_string(nSlot) + " " + strCaption);
}

void FakeDocViews::UpdateAllViews() {
    calls.push_back("UpdateAllViews");
}

void FakeDocViews::AddToRecentFileList(const std::string& strPath) {
    calls.push_back("AddToRecentFileList " + strPath);
}

} // namespace vext::test
