#pragma once

// A focus source that the desktop calls over the session bus (KWin's script, GNOME Shell's
// extension): it takes calls on its own object only, and from the desktop's current owner of its
// bus name only (anyone on the session bus can call), keeps the window last told and hands a
// change to the driver once.

#include "core/games/FocusedWindow.h"
#include "vextd/focus/FocusSource.h"
#include "vextd/focus/SessionBus.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct DBusMessage;

namespace vext {

class BusFocusSource : public FocusSource {
public:
    FocusedWindow Current() override;
    std::optional<FocusedWindow> Dispatch() override;
    std::string Lost() const override { return m_strLost; }

protected:
    // Calls count at path and interface.
    BusFocusSource(std::unique_ptr<SessionBus> pBus, std::string_view path,
                   std::string_view interface)
        : m_pBus(std::move(pBus)), m_strPath(path), m_strInterface(interface) {}

    // The unique name of the desktop's part that may call; empty while it is gone.
    virtual const std::string& Caller() const = 0;
    // A method call to the object from the caller: each gets an answer.
    virtual void HandleCall(DBusMessage* pMessage, const std::string& member) = 0;
    // A signal or a reply.
    virtual void HandleOther(DBusMessage* pMessage) = 0;
    // Runs in Dispatch before the bus's messages are handled.
    virtual void BeforeDispatch() {}

    std::unique_ptr<SessionBus> m_pBus;
    FocusedWindow m_window; // as the desktop told last
    std::string m_strLost;

private:
    void Handle(DBusMessage* pMessage);
    void Screen(DBusMessage* pCall);

    std::string m_strPath;
    std::string m_strInterface;

    FocusedWindow m_last; // as handed to the driver last
};

} // namespace vext
