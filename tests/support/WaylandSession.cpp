#include "WaylandSession.h"

#include "ProgramRun.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <poll.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vext::test {
namespace {

namespace fs = std::filesystem;

constexpr int kStartTimeoutMs = 20000;

// Checks fnDone every 20 ms until it holds or the time is up.
template <typename F>
bool PollUntil(F fnDone, int nTimeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (!fnDone()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        ::poll(nullptr, 0, 20);
    }
    return true;
}

bool CanConnect(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool bOk =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return bOk;
}

// The socket in dir whose name starts with prefix (the runtime folder is the session's alone).
std::string FindSocket(const std::string& dir, const std::string& prefix) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (entry.path().filename().string().starts_with(prefix) && entry.is_socket(ec)) {
            return entry.path().string();
        }
    }
    return {};
}

} // namespace

WaylandSession::~WaylandSession() {
    // Clients first, the compositor (started first) last; one that was waited for already is
    // gone, and its number may be another's by now.
    for (auto it = m_started.rbegin(); it != m_started.rend(); ++it) {
        if (::waitpid(*it, nullptr, WNOHANG) != 0) {
            continue;
        }
        ::kill(-*it, SIGTERM);
        if (Wait(*it, 3000) == -1) {
            ::kill(-*it, SIGKILL);
            Wait(*it, 3000);
        }
    }
    if (!m_strDir.empty()) {
        std::error_code ec;
        fs::remove_all(m_strDir, ec);
    }
}

std::string WaylandSession::FindProgram(const std::string& name) {
    const char* pszPath = std::getenv("PATH");
    const std::string path = pszPath != nullptr ? pszPath : "/usr/bin:/bin";
    for (size_t nStart = 0; nStart <= path.size();) {
        const size_t nEnd = std::min(path.find(':', nStart), path.size());
        const std::string candidate = path.substr(nStart, nEnd - nStart) + "/" + name;
        if (candidate.starts_with('/') && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        nStart = nEnd + 1;
    }
    return {};
}

bool WaylandSession::Start(Compositor compositor, std::string* pError, bool bXWayland,
                           const std::string& gnomeExtensions) {
    const bool bSway = compositor == Compositor::kSway;
    const bool bKWin = compositor == Compositor::kKWin;
    const bool bGnome = compositor == Compositor::kGnome;
    const char* pszProgram = bSway    ? "sway"
                             : bKWin  ? "kwin_wayland"
                             : bGnome ? "gnome-shell"
                                      : "weston";
    const std::string program = FindProgram(pszProgram);
    const std::string wtype = FindProgram("wtype");
    if (program.empty() || (bSway && wtype.empty())) {
        *pError = std::string(bSway ? "sway or wtype" : pszProgram) +
                  " is not installed: run tools/deps.sh --test";
        return false;
    }
    m_uid = ::getuid();
    m_gid = ::getgid();
    if (::geteuid() == 0) {
        const passwd* pUser = ::getpwnam("nobody");
        if (pUser == nullptr) {
            *pError = "no user \"nobody\" to run the compositor as";
            return false;
        }
        m_uid = pUser->pw_uid;
        m_gid = pUser->pw_gid;
        m_bSwitchUser = true;
    }
    char pattern[] = "/tmp/vext-wayland-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        *pError = std::string("cannot make a session folder: ") + std::strerror(errno);
        return false;
    }
    m_strDir = pattern;
    m_strRuntime = m_strDir + "/run";
    for (const std::string& dir : {m_strDir, m_strRuntime, m_strDir + "/home"}) {
        if ((dir != m_strDir && ::mkdir(dir.c_str(), 0700) != 0) ||
            ::chown(dir.c_str(), m_uid, m_gid) != 0) {
            *pError = "cannot prepare " + dir + ": " + std::strerror(errno);
            return false;
        }
    }
    if (bKWin) {
        return StartKWin(program, pError);
    }
    if (bGnome) {
        return StartGnome(program, gnomeExtensions, pError);
    }
    if (bSway) {
        const std::string config = m_strDir + "/sway.conf";
        std::ofstream(config) << (bXWayland ? "xwayland force\n" : "xwayland disable\n");
        ::chmod(config.c_str(), 0644);
        Spawn({program, "-c", config},
              {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"});
    } else {
        // --debug lets weston-debug print the scene graph: which windows are mapped.
        Spawn({program, "--backend=headless-backend.so", "--socket=wayland-vext", "--idle-time=0",
               "--debug"});
    }
    const bool bUp = PollUntil(
        [this, bSway] {
            m_strSocket = FindSocket(m_strRuntime, "wayland-");
            m_strSwaySocket = bSway ? FindSocket(m_strRuntime, "sway-ipc.") : "";
            return CanConnect(m_strSocket) && (!bSway || !m_strSwaySocket.empty());
        },
        kStartTimeoutMs);
    if (!bUp) {
        *pError = program + " did not start within " + std::to_string(kStartTimeoutMs / 1000) +
                  " s; the log:\n" + Log();
        return false;
    }
    if (bSway) {
        Spawn({wtype, "-s", "86400000"});
    }
    // wlroots writes the compositor's pid into the lock file of XWayland's display.
    const auto xwaylandUp = [this] {
        for (int n = 0; n < 64; ++n) {
            std::ifstream lock("/tmp/.X" + std::to_string(n) + "-lock");
            pid_t pid = 0;
            if (lock >> pid && pid == m_started.front() &&
                CanConnect("/tmp/.X11-unix/X" + std::to_string(n))) {
                m_strXDisplay = ":" + std::to_string(n);
                return true;
            }
        }
        return false;
    };
    if (bXWayland && !PollUntil(xwaylandUp, kStartTimeoutMs)) {
        *pError = "XWayland did not start (is the xwayland package installed?); the log:\n" + Log();
        return false;
    }
    return true;
}

// A session bus and a stand-in system bus of the session's own.
bool WaylandSession::StartBus(std::string* pError) {
    const std::string daemon = FindProgram("dbus-daemon");
    if (daemon.empty() || FindProgram("dbus-send").empty()) {
        *pError = "dbus-daemon or dbus-send is not installed: run tools/deps.sh --test";
        return false;
    }
    // Open to every user: a test run as root talks to the session's programs run as nobody.
    for (const char* pszType : {"session", "system"}) {
        const std::string bus = m_strDir + "/" + pszType + "-bus";
        const std::string config = bus + ".conf";
        std::ofstream(config)
            << "<busconfig><type>" << pszType << "</type><listen>unix:path=" << bus
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               "<allow user=\"*\"/><allow send_destination=\"*\"/>"
               "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n";
        ::chmod(config.c_str(), 0644);
        Spawn({daemon, "--config-file=" + config, "--nofork"});
        if (!PollUntil([&bus] { return CanConnect(bus); }, kStartTimeoutMs)) {
            *pError = std::string("the ") + pszType + " bus did not start; the log:\n" + Log();
            return false;
        }
    }
    m_strBus = "unix:path=" + m_strDir + "/session-bus";
    return true;
}

bool WaylandSession::StartKWin(const std::string& program, std::string* pError) {
    const std::string send = FindProgram("dbus-send");
    // Debian gives kwin_wayland a file capability (cap_sys_resource), which a container without
    // it refuses to execute; a copy carries none.
    const std::string kwin = m_strDir + "/kwin_wayland";
    std::error_code ec;
    if (!fs::copy_file(program, kwin, ec) || ::chmod(kwin.c_str(), 0755) != 0) {
        *pError = "cannot copy " + program + ": " + ec.message();
        return false;
    }
    if (!StartBus(pError)) {
        return false;
    }
    // QPainter composites with less work than llvmpipe's OpenGL.
    Spawn({kwin, "--virtual", "--socket", "wayland-vext", "--no-lockscreen",
           "--no-global-shortcuts", "--no-kactivities"},
          {"KWIN_COMPOSE=Q", "-QT_QPA_PLATFORM"});
    const bool bUp = PollUntil(
        [&] {
            m_strSocket = FindSocket(m_strRuntime, "wayland-");
            return CanConnect(m_strSocket) &&
                   Wait(Spawn({send, "--session", "--print-reply", "--reply-timeout=2000",
                               "--dest=org.kde.KWin", "/Scripting",
                               "org.kde.kwin.Scripting.isScriptLoaded", "string:none"}),
                        5000) == 0;
        },
        kStartTimeoutMs);
    if (!bUp) {
        *pError = "kwin_wayland did not start within " + std::to_string(kStartTimeoutMs / 1000) +
                  " s; the log:\n" + Log();
        return false;
    }
    return true;
}

bool WaylandSession::StartGnome(const std::string& program, const std::string& extensions,
                                std::string* pError) {
    if (FindProgram("gdbus").empty()) {
        *pError = "gdbus is not installed: run tools/deps.sh --test";
        return false;
    }
    // The extensions as the system has them, and the settings in a key file of the session's,
    // where focus@vextkey is on.
    const std::string share = m_strDir + "/share/gnome-shell/extensions";
    const std::string settings = m_strDir + "/config/glib-2.0/settings";
    std::error_code ec;
    fs::create_directories(share, ec);
    fs::create_directories(settings, ec);
    if (!extensions.empty()) {
        fs::copy(extensions, share + "/" + fs::path(extensions).filename().string(),
                 fs::copy_options::recursive, ec);
    }
    std::ofstream(settings + "/keyfile")
        << "[org/gnome/shell]\nenabled-extensions=['focus@vextkey']\n"
           "disable-user-extensions=false\n";
    for (const auto& entry : fs::recursive_directory_iterator(m_strDir + "/config", ec)) {
        ::chown(entry.path().c_str(), m_uid, m_gid);
    }
    ::chown((m_strDir + "/config").c_str(), m_uid, m_gid);
    if (ec || !StartBus(pError)) {
        *pError = ec ? "cannot prepare GNOME Shell's folders: " + ec.message() : *pError;
        return false;
    }
    Spawn({program, "--headless", "--wayland", "--virtual-monitor", "1280x800", "--unsafe-mode"},
          {"DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + m_strDir + "/system-bus",
           "XDG_CONFIG_HOME=" + m_strDir + "/config", "XDG_DATA_HOME=" + m_strDir + "/home/data",
           "XDG_DATA_DIRS=" + m_strDir + "/share:/usr/local/share:/usr/share",
           "GSETTINGS_BACKEND=keyfile", "XDG_CURRENT_DESKTOP=GNOME", "NO_AT_BRIDGE=1",
           "GTK_A11Y=none", "-QT_QPA_PLATFORM"});
    // Up once its start is over and the overview that it starts with is hidden; XWayland's
    // display is the Shell's own environment's.
    const bool bUp = PollUntil(
        [&] {
            const std::string answer =
                Eval("Main.layoutManager._startingUp ? 'starting' : (Main.overview.hide(), "
                     "imports.gi.GLib.getenv('DISPLAY') + ' ' + "
                     "imports.gi.GLib.getenv('XAUTHORITY'))");
            const size_t nStart = answer.find("'\"");
            const size_t nEnd = answer.rfind("\"'");
            if (!answer.starts_with("(true") || nStart == std::string::npos || nEnd <= nStart ||
                answer.find("starting") != std::string::npos) {
                return false;
            }
            const std::string facts = answer.substr(nStart + 2, nEnd - nStart - 2);
            m_strXDisplay = facts.substr(0, facts.find(' '));
            m_strXAuthority = facts.substr(facts.find(' ') + 1);
            m_strSocket = FindSocket(m_strRuntime, "wayland-");
            return m_strXDisplay.starts_with(':') && CanConnect(m_strSocket);
        },
        kStartTimeoutMs);
    if (!bUp) {
        *pError = "gnome-shell did not start within " + std::to_string(kStartTimeoutMs / 1000) +
                  " s; the log:\n" + Log();
        return false;
    }
    return true;
}

std::string WaylandSession::Eval(const std::string& js) const {
    return Output({FindProgram("gdbus"), "call", "--session", "--timeout", "5", "--dest",
                   "org.gnome.Shell", "--object-path", "/org/gnome/Shell", "--method",
                   "org.gnome.Shell.Eval", js});
}

std::string WaylandSession::Output(const std::vector<std::string>& argv) const {
    return OutputOf(argv, Environment({}));
}

std::string WaylandSession::Log() const {
    std::ifstream file(m_strDir + "/session.log");
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    return text.size() > 4000 ? text.substr(text.size() - 4000) : text;
}

std::vector<std::string> WaylandSession::ClientEnv() const {
    return {"XDG_RUNTIME_DIR=" + m_strRuntime,
            "HOME=" + m_strDir + "/home",
            "XDG_SESSION_TYPE=wayland",
            "-DISPLAY",
            m_strSocket.empty() ? "-WAYLAND_DISPLAY" : "WAYLAND_DISPLAY=" + m_strSocket,
            m_strSwaySocket.empty() ? "-SWAYSOCK" : "SWAYSOCK=" + m_strSwaySocket,
            m_strBus.empty() ? "-DBUS_SESSION_BUS_ADDRESS"
                             : "DBUS_SESSION_BUS_ADDRESS=" + m_strBus};
}

std::vector<std::string> WaylandSession::Environment(const std::vector<std::string>& env) const {
    std::vector<std::string> changes = ClientEnv();
    changes.insert(changes.end(), env.begin(), env.end());
    return EnvironmentWith(changes);
}

pid_t WaylandSession::Spawn(const std::vector<std::string>& argv,
                            const std::vector<std::string>& env, bool bOwnOutput) {
    const std::vector<std::string> environment = Environment(env);
    // Nothing is allocated between fork and exec: the test may run threads.
    std::vector<char*> args = ExecList(argv);
    std::vector<char*> envp = ExecList(environment);
    const std::string log = m_strDir + "/session.log";
    const pid_t nParent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A process group of its own, so that the session ends what it starts in turn.
        ::setpgid(0, 0);
        const int nLog = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (!bOwnOutput) {
            ::dup2(nLog, STDOUT_FILENO);
        }
        ::dup2(nLog, STDERR_FILENO);
        if (m_bSwitchUser &&
            (::setgroups(0, nullptr) != 0 || ::setgid(m_gid) != 0 || ::setuid(m_uid) != 0)) {
            ::_exit(126);
        }
        // A test that dies (a timeout, a crash) takes its compositor and clients with it; set
        // after the user change, which clears it. Nothing of the test's open files goes along.
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != nParent) {
            ::_exit(125);
        }
        ::close_range(3, ~0U, 0);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    if (pid > 0) {
        m_started.push_back(pid);
    }
    return pid;
}

int WaylandSession::Wait(pid_t pid, int nTimeoutMs) {
    int nStatus = -1;
    const bool bEnded = PollUntil(
        [&] {
            const pid_t nDone = ::waitpid(pid, &nStatus, WNOHANG);
            return nDone == pid || (nDone < 0 && errno == ECHILD);
        },
        nTimeoutMs);
    if (!bEnded) {
        return -1;
    }
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -2;
}

} // namespace vext::test
