#pragma once

// The focus in KDE Plasma on Wayland. KWin gives other programs no protocol for it, so the driver
// loads a KWin script (games/KWinReport.h) over the session bus that calls the driver back at
// each activation with the window's class, caption and pid; the pid gives the program, over the
// driver's own SessionBus. The script is unloaded when the source goes, and loaded again when
// KWin restarts.

#include "vextd/focus/BusFocusSource.h"
#include "vextd/focus/SessionBus.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct DBusMessage;

namespace vext {

class KWinFocusSource : public BusFocusSource {
public:
    // Connects to the session bus, finds KWin there, and loads and runs the focus script. Null
    // with the reason when any of it fails; *pbKWinOnBus tells whether KWin was on the bus.
    static std::unique_ptr<KWinFocusSource> Open(std::string* pWhyNot, bool* pbKWinOnBus);
    ~KWinFocusSource() override;
    KWinFocusSource(const KWinFocusSource&) = delete;
    KWinFocusSource& operator=(const KWinFocusSource&) = delete;

    std::string Name() const override { return "KWin"; }
    int WaitFd() const override;

private:
    explicit KWinFocusSource(std::unique_ptr<SessionBus> pBus);
    bool WriteScript(const std::string& busName, std::string* pWhyNot);
    bool LoadScript(std::string* pWhyNot);
    // After KWin restarted: offers the script again without waiting for the answer, which
    // OnReloaded takes; until KWin's scripting is there, again on a timer.
    void LoadScriptAgain();
    void ArmReload();
    void OnReloaded(DBusMessage* pReply);
    void UnloadScript();
    // A reload that KWin's restart asked for, when its timer expired.
    void BeforeDispatch() override;
    const std::string& Caller() const override { return m_strKWin; }
    void HandleCall(DBusMessage* pMessage, const std::string& member) override;
    void HandleOther(DBusMessage* pMessage) override;

    int m_nEpoll = -1; // the bus and m_nTimer
    int m_nTimer = -1;
    uint32_t m_nReloadSerial = 0; // the loadScript call of a reload that waits for its answer
    int m_nReloads = 0;
    std::string m_strKWin; // KWin's unique name; empty while it is gone
    std::string m_strScriptDir;
    std::string m_strScriptPath;
};

} // namespace vext
