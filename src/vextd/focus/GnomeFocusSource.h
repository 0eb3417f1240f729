#pragma once

// The focus in GNOME Shell, on Wayland and X11: the package's Shell extension (focus@vextkey)
// calls the driver at each change of the focused window with its class, title and pid, on a
// name the driver owns on the session bus; the pid gives the program. Only calls from the owner
// of org.gnome.Shell count. While the extension is off the source waits, and says what to do;
// the Shell's ExtensionStateChanged tells when that changes.

#include "core/games/GnomeReport.h"
#include "vextd/focus/BusFocusSource.h"
#include "vextd/focus/SessionBus.h"

#include <memory>
#include <optional>
#include <string>

struct DBusMessage;

namespace vext {

class GnomeFocusSource : public BusFocusSource {
public:
    // Connects to the session bus, finds GNOME Shell there, takes the driver's name and asks how
    // the extension stands. Null with the reason when any of it fails, and when bNeedExtension
    // and the extension is not on (X11 then follows the focus); *pbShellOnBus tells whether the
    // Shell was on the bus.
    static std::unique_ptr<GnomeFocusSource> Open(bool bNeedExtension, std::string* pWhyNot,
                                                  bool* pbShellOnBus);

    std::string Name() const override { return "GNOME Shell"; }
    int WaitFd() const override;
    std::string Waiting() const override { return m_strWaiting; }

private:
    explicit GnomeFocusSource(std::unique_ptr<SessionBus> pBus)
        : BusFocusSource(std::move(pBus), kGnomeFocusPath, kGnomeFocusInterface) {}
    const std::string& Caller() const override { return m_strShell; }
    // How the extension stands, from the Shell; kUnknown also when it does not answer.
    GnomeExtensionState AskExtension();
    void SetExtensionState(GnomeExtensionState state);
    void HandleCall(DBusMessage* pMessage, const std::string& member) override;
    void HandleOther(DBusMessage* pMessage) override;

    std::string m_strShell;   // the Shell's unique name; empty while it is gone
    std::string m_strWaiting; // what the user must do before the focus is known
};

} // namespace vext
