#pragma once

// The focus in KDE Plasma on Wayland. KWin gives other programs no protocol for it, so the driver
// loads a KWin script (games/KWinReport.h) over the session bus that calls the driver back at
// each activation with the window's class, caption and pid; the pid gives the program. The bus
// connection is the driver's own (libdbus, without a main loop of its own: the driver's loop
// waits on its descriptor). The script is unloaded when the source goes, and loaded again when
// KWin restarts.

#include "vextd/focus/FocusSource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct DBusConnection;
struct DBusMessage;

namespace vext {

class KWinFocusSource : public FocusSource {
public:
    // Connects to the session bus, finds KWin there, and loads and runs the focus script. Null
    // with the reason when any of it fails; *pbKWinOnBus tells whether KWin was on the bus.
    static std::unique_ptr<KWinFocusSource> Open(std::string* pWhyNot, bool* pbKWinOnBus);
    ~KWinFocusSource() override;
    KWinFocusSource(const KWinFocusSource&) = delete;
    KWinFocusSource& operator=(const KWinFocusSource&) = delete;

    std::string Name() const override { return "KWin"; }
    int WaitFd() const override;
    FocusedWindow Current() override;
    std::optional<FocusedWindow> Dispatch() override;
    std::string Lost() const override { return m_strLost; }

private:
    explicit KWinFocusSource(DBusConnection* pConnection);
    // Sends a call and waits up to nTimeoutMs for its answer (a hung bus or KWin never hangs the
    // driver). The reply, or null with the reason.
    DBusMessage* Call(DBusMessage* pCall, int nTimeoutMs, std::string* pError);
    // Asks the bus (org.freedesktop.DBus) a method with one string argument.
    DBusMessage* AskBus(const char* pszMethod, const std::string& argument, std::string* pError);
    bool WriteScript(const std::string& busName, std::string* pWhyNot);
    bool LoadScript(std::string* pWhyNot);
    // After KWin restarted: offers the script again without waiting for the answer, which
    // OnReloaded takes; until KWin's scripting is there, again on a timer.
    void LoadScriptAgain();
    void ArmReload();
    void OnReloaded(DBusMessage* pReply);
    void UnloadScript();
    // Handles every message that arrived.
    void Drain();
    void Handle(DBusMessage* pMessage);
    void HandleCall(DBusMessage* pMessage);

    DBusConnection* m_pConnection;
    int m_nEpoll = -1; // the bus and m_nTimer
    int m_nTimer = -1;
    uint32_t m_nReloadSerial = 0; // the loadScript call of a reload that waits for its answer
    int m_nReloads = 0;
    std::string m_strKWin; // KWin's unique name; empty while it is gone
    std::string m_strScriptDir;
    std::string m_strScriptPath;
    FocusedWindow m_window; // as KWin told last
    FocusedWindow m_last;   // as handed to the driver last
    std::string m_strLost;
};

} // namespace vext
