#pragma once

// A headless Wayland compositor started by a test, with a private runtime folder and socket.
// sway refuses to run as root, so a test run as root (CI) runs the compositor and the clients it
// starts here as the unprivileged user "nobody" (the build tree must be readable by others).
// KWin and GNOME Shell come with a session bus of their own (GNOME Shell with a stand-in system
// bus too, and the extensions of a folder the test names). Everything started is ended, and the
// folder removed, with the session.

#include <string>
#include <sys/types.h>
#include <vector>

namespace vext::test {

class WaylandSession {
public:
    enum class Compositor { kSway, kWeston, kKWin, kGnome };

    WaylandSession() = default;
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    // Starts the compositor and waits until its socket answers; under sway also a virtual
    // keyboard that lasts the session (a desktop always has a keyboard; without one, each wtype
    // run would add and remove the seat's keyboard and the focus with it). False with the
    // reason; a missing compositor is a failure, never a skip.
    // Under KWin (kwin_wayland --virtual), the session bus starts first and the session is up
    // once KWin's scripting answers on it.
    // With bXWayland (sway only), XWayland starts with the session; XDisplay() names it.
    // Under GNOME Shell (gnome-shell --headless, in its test-only unsafe mode, so that Eval
    // answers), the system extensions of gnomeExtensions, with focus@vextkey turned on; the
    // session is up once the Shell has started and hidden its overview (new windows get the
    // focus then), and XWayland is there: XDisplay() and XAuthority() name it.
    bool Start(Compositor compositor, std::string* pError, bool bXWayland = false,
               const std::string& gnomeExtensions = {});
    std::string XAuthority() const { return m_strXAuthority; }
    // GNOME Shell's answer to Eval(js): what the script gives, as gdbus prints it
    // ("(true, '\"yes\"')"); empty when gdbus failed.
    std::string Eval(const std::string& js) const;
    // A program's standard output, run as this process's user with ClientEnv() (empty when it
    // failed or ran longer than 10 s).
    std::string Output(const std::vector<std::string>& argv) const;
    // The X display XWayland serves (":1"); empty without XWayland.
    std::string XDisplay() const { return m_strXDisplay; }

    // What a client needs: XDG_RUNTIME_DIR, WAYLAND_DISPLAY (absolute), SWAYSOCK, HOME,
    // XDG_SESSION_TYPE=wayland, the session bus under KWin and GNOME Shell, and no DISPLAY, as
    // "NAME=value" entries ("-NAME" removes).
    std::vector<std::string> ClientEnv() const;
    // The session's own folder, which its user can enter: for files its clients read or run.
    std::string Folder() const { return m_strDir; }

    // Starts a program as the session's user with this process's environment, ClientEnv() and
    // env on top. Its standard output stays this process's when bOwnOutput, else it goes to the
    // session's log with its standard error.
    pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                bool bOwnOutput = false);
    // Waits up to nTimeoutMs for a program started here to end: its exit status, -1 when it
    // has not ended in time, -2 when a signal ended it.
    static int Wait(pid_t pid, int nTimeoutMs);

    // The end of the compositor's and the clients' log, for a failure's message.
    std::string Log() const;

    // The program's absolute path from the absolute PATH entries, or empty.
    static std::string FindProgram(const std::string& name);

private:
    // This process's environment with ClientEnv() and env on top.
    std::vector<std::string> Environment(const std::vector<std::string>& env) const;
    bool StartBus(std::string* pError);
    bool StartKWin(const std::string& program, std::string* pError);
    bool StartGnome(const std::string& program, const std::string& extensions, std::string* pError);

    std::string m_strDir;
    std::string m_strRuntime;
    std::string m_strSocket;
    std::string m_strSwaySocket;
    std::string m_strXDisplay;
    std::string m_strBus; // the session bus's address, under KWin and GNOME Shell
    std::string m_strXAuthority;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    bool m_bSwitchUser = false;
    std::vector<pid_t> m_started;
};

} // namespace vext::test
