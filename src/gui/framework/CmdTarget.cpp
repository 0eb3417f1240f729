#include "gui/framework/CmdTarget.h"

namespace vext {

// Later entries come first: a derived class's handlers, registered after its base's, win.
bool CCmdTarget::OnCommand(int nID) {
    for (auto it = m_commands.rbegin(); it != m_commands.rend(); ++it) {
        const CommandEntry& e = *it;
        if (nID >= e.nFirst && nID <= e.nLast) {
            e.fnHandler(nID);
            return true;
        }
    }
    return false;
}

bool CCmdTarget::OnUpdateCommand(CCmdUI& cmdUI) {
    for (auto it = m_updates.rbegin(); it != m_updates.rend(); ++it) {
        const UpdateEntry& e = *it;
        if (cmdUI.m_nID >= e.nFirst && cmdUI.m_nID <= e.nLast) {
            e.fnHandler(cmdUI);
            return true;
        }
    }
    return false;
}

bool CCmdTarget::HasCommandHandler(int nID) const {
    for (const CommandEntry& e : m_commands) {
        if (nID >= e.nFirst && nID <= e.nLast) {
            return true;
        }
    }
    return false;
}

void CCmdTarget::OnCommandId(int nID, std::function<void()> fnHandler) {
    m_commands.push_back({nID, nID, [fn = std::move(fnHandler)](int) { fn(); }});
}

void CCmdTarget::OnCommandRange(int nFirst, int nLast, std::function<void(int)> fnHandler) {
    m_commands.push_back({nFirst, nLast, std::move(fnHandler)});
}

void CCmdTarget::OnUpdateId(int nID, std::function<void(CCmdUI&)> fnHandler) {
    m_updates.push_back({nID, nID, std::move(fnHandler)});
}

void CCmdTarget::OnUpdateRange(int nFirst, int nLast, std::function<void(CCmdUI&)> fnHandler) {
    m_updates.push_back({nFirst, nLast, std::move(fnHandler)});
}

bool RouteCommand(const std::vector<CCmdTarget*>& route, int nID) {
    for (CCmdTarget* pTarget : route) {
        if (pTarget && pTarget->OnCommand(nID)) {
            return true;
        }
    }
    return false;
}

void RouteUpdate(const std::vector<CCmdTarget*>& route, CCmdUI& cmdUI) {
    for (CCmdTarget* pTarget : route) {
        if (pTarget && pTarget->OnUpdateCommand(cmdUI)) {
            if (!cmdUI.m_bEnableChanged) {
                cmdUI.Enable(true);
            }
            return;
        }
    }
    bool bHandled = false;
    for (CCmdTarget* pTarget : route) {
        if (pTarget && pTarget->HasCommandHandler(cmdUI.m_nID)) {
            bHandled = true;
            break;
        }
    }
    cmdUI.Enable(bHandled);
}

} // namespace vext
