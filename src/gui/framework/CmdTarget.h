#pragma once

// An object that handles commands: a table of command handlers and update handlers, keyed by
// command number (or a range of them). The frame walks a route of targets and the first target
// with a matching entry handles the command.

#include "gui/framework/CmdUI.h"

#include <functional>
#include <vector>

namespace vext {

class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Runs the command handler for nID; false when this target has none.
    virtual bool OnCommand(int nID);
    // Runs the update handler for the command; false when this target has none.
    virtual bool OnUpdateCommand(CCmdUI& cmdUI);
    virtual bool HasCommandHandler(int nID) const;

protected:
    void OnCommandId(int nID, std::function<void()> fnHandler);
    void OnCommandRange(int nFirst, int nLast, std::function<void(int)> fnHandler);
    void OnUpdateId(int nID, std::function<void(CCmdUI&)> fnHandler);
    void OnUpdateRange(int nFirst, int nLast, std::function<void(CCmdUI&)> fnHandler);

private:
    struct CommandEntry {
        int nFirst;
        int nLast;
        std::function<void(int)> fnHandler;
    };
    struct UpdateEntry {
        int nFirst;
        int nLast;
        std::function<void(CCmdUI&)> fnHandler;
    };
    std::vector<CommandEntry> m_commands;
    std::vector<UpdateEntry> m_updates;
};

// Walks the route in order: the first target with a handler runs it. Returns whether one did.
bool RouteCommand(const std::vector<CCmdTarget*>& route, int nID);

// Fills cmdUI from the route: the first update handler decides; without one the command is
// enabled when some target of the route handles it, and disabled otherwise.
void RouteUpdate(const std::vector<CCmdTarget*>& route, CCmdUI& cmdUI);

} // namespace vext
