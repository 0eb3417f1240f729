#pragma once

// A focus source that the desktop calls over the session bus (KWin's script, GNOME Shell's
// extension): it keeps the window last told and hands a change to the driver once.

#include "core/games/FocusedWindow.h"
#include "vextd/focus/FocusSource.h"
#include "vextd/focus/SessionBus.h"

#include <memory>
#include <optional>
#include <string>

struct DBusMessage;

namespace vext {

class BusFocusSource : public FocusSource {
public:
    FocusedWindow Current() override;
    std::optional<FocusedWindow> Dispatch() override;
    std::string Lost() const override { return m_strLost; }

protected:
    explicit BusFocusSource(std::unique_ptr<SessionBus> pBus) : m_pBus(std::move(pBus)) {}

    // A method call to the driver: each gets an answer.
    virtual void HandleCall(DBusMessage* pMessage) = 0;
    // A signal or a reply.
    virtual void HandleOther(DBusMessage* pMessage) = 0;
    // Runs in Dispatch before the bus's messages are handled.
    virtual void BeforeDispatch() {}

    std::unique_ptr<SessionBus> m_pBus;
    FocusedWindow m_window; // as the desktop told last
    std::string m_strLost;

private:
    void Handle(DBusMessage* pMessage);

    FocusedWindow m_last; // as handed to the driver last
};

} // namespace vext
