#include "vextd/focus/KWinFocusSource.h"

#include "core/games/KWinReport.h"
#include "core/games/ProgramName.h"
#include "core/platform/LineText.h"
#include "vextd/common/Log.h"
#include "vextd/focus/SessionBus.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dbus/dbus.h>
#include <fcntl.h>
#include <initializer_list>
#include <sys/epoll.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace vext {
namespace {

constexpr int kCallTimeoutMs = 5000;
constexpr size_t kMaxErrorText = 200;
constexpr int kUnloadTimeoutMs = 1000;
// A KWin that has just restarted owns its name before its scripting answers: the script is
// offered again every half second, for a while.
constexpr long kReloadDelayNs = 500'000'000;
constexpr int kMaxReloads = 60;
constexpr const char* kKWinName = "org.kde.KWin";
constexpr const char* kScriptingPath = "/Scripting";
constexpr const char* kScriptingInterface = "org.kde.kwin.Scripting";

using Message = SessionBus::Message;

std::string Env(const char* pszName) {
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? pszValue : "";
}

// A call to KWin's scripting, with string arguments; null when out of memory.
DBusMessage* NewScriptingCall(const std::string& kwin, const char* pszMethod,
                              std::initializer_list<const char*> args) {
    DBusMessage* pCall =
        dbus_message_new_method_call(kwin.c_str(), kScriptingPath, kScriptingInterface, pszMethod);
    for (const char* pszArgument : args) {
        if (pCall != nullptr &&
            !dbus_message_append_args(pCall, DBUS_TYPE_STRING, &pszArgument, DBUS_TYPE_INVALID)) {
            dbus_message_unref(pCall);
            pCall = nullptr;
        }
    }
    return pCall;
}

bool Watch(int nEpoll, int nFd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = nFd;
    return nFd >= 0 && ::epoll_ctl(nEpoll, EPOLL_CTL_ADD, nFd, &event) == 0;
}

bool WriteAll(int nFd, const std::string& text) {
    size_t nDone = 0;
    while (nDone < text.size()) {
        const ssize_t n = ::write(nFd, text.data() + nDone, text.size() - nDone);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        nDone += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::unique_ptr<KWinFocusSource> KWinFocusSource::Open(std::string* pWhyNot, bool* pbKWinOnBus) {
    *pbKWinOnBus = false;
    std::unique_ptr<SessionBus> pBus = SessionBus::Connect(pWhyNot);
    if (!pBus) {
        return nullptr;
    }
    std::unique_ptr<KWinFocusSource> pSource(new KWinFocusSource(std::move(pBus)));
    // The loop waits on the bus and on the timer of a reload, together.
    pSource->m_nEpoll = ::epoll_create1(EPOLL_CLOEXEC);
    pSource->m_nTimer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (pSource->m_nEpoll < 0 || !Watch(pSource->m_nEpoll, pSource->m_pBus->Fd()) ||
        !Watch(pSource->m_nEpoll, pSource->m_nTimer)) {
        *pWhyNot = std::string("cannot wait on the session bus: ") + std::strerror(errno);
        return nullptr;
    }
    std::string strError;
    if (!pSource->m_pBus->FollowOwner(kKWinName, &pSource->m_strKWin, &strError)) {
        *pWhyNot = "the session bus does not tell of KWin: " + strError;
        return nullptr;
    }
    if (pSource->m_strKWin.empty()) {
        *pWhyNot = "KWin is not on the session bus";
        return nullptr;
    }
    *pbKWinOnBus = true;
    const std::string unique = pSource->m_pBus->UniqueName();
    if (!pSource->WriteScript(unique, pWhyNot) || !pSource->LoadScript(pWhyNot)) {
        return nullptr;
    }
    LogDebug("KWin (" + pSource->m_strKWin + ") reports the focus to " + unique);
    // The script tells the window active now as it starts: here, when it came with KWin's
    // answer, else through Dispatch.
    pSource->Current();
    return pSource;
}

KWinFocusSource::KWinFocusSource(std::unique_ptr<SessionBus> pBus)
    : BusFocusSource(std::move(pBus), kKWinFocusPath, kKWinFocusInterface) {}

KWinFocusSource::~KWinFocusSource() {
    if (m_strLost.empty() && !m_strKWin.empty() && !m_strScriptPath.empty()) {
        UnloadScript();
    }
    for (const int nFd : {m_nEpoll, m_nTimer}) {
        if (nFd >= 0) {
            ::close(nFd);
        }
    }
    if (!m_strScriptPath.empty()) {
        ::unlink(m_strScriptPath.c_str());
    }
    if (!m_strScriptDir.empty()) {
        ::rmdir(m_strScriptDir.c_str());
    }
}

// In a fresh folder of the driver's own, in the session's runtime folder. KWin reads it by its
// path, as the session's user: that is the driver's own user, except for a driver that runs as
// root where that is allowed (tests), whose folder must then be KWin's to enter.
bool KWinFocusSource::WriteScript(const std::string& busName, std::string* pWhyNot) {
    const std::string script = KWinFocusScript(busName);
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    std::string pattern = (runtime.starts_with('/') ? runtime : "/tmp") + "/vextd-kwin-XXXXXX";
    if (script.empty() || !dbus_validate_utf8(pattern.c_str(), nullptr) ||
        ::mkdtemp(pattern.data()) == nullptr) {
        *pWhyNot = "cannot write the focus script for KWin in " + EscapeForLine(pattern) + ": " +
                   (script.empty() ? "bad bus name" : std::strerror(errno));
        return false;
    }
    m_strScriptDir = pattern;
    const std::string path = m_strScriptDir + "/focus.js";
    const int nFd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (nFd < 0) {
        *pWhyNot = "cannot write " + EscapeForLine(path) + ": " + std::strerror(errno);
        return false;
    }
    m_strScriptPath = path;
    const bool bWritten = WriteAll(nFd, script);
    const int nWriteErrno = errno;
    ::close(nFd);
    if (!bWritten) {
        *pWhyNot = "cannot write " + EscapeForLine(path) + ": " + std::strerror(nWriteErrno);
        return false;
    }
    if (::geteuid() == 0) {
        std::string strError;
        const Message reply = m_pBus->AskBus("GetConnectionUnixUser", m_strKWin, &strError);
        uint32_t nUid = 0;
        if (reply && dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &nUid,
                                           DBUS_TYPE_INVALID)) {
            if (::chown(m_strScriptDir.c_str(), nUid, static_cast<gid_t>(-1)) != 0 ||
                ::chown(path.c_str(), nUid, static_cast<gid_t>(-1)) != 0) {
                LogError("cannot give the focus script to KWin's user: " +
                         std::string(std::strerror(errno)));
            }
        }
    }
    return true;
}

bool KWinFocusSource::LoadScript(std::string* pWhyNot) {
    const char* pszName = kKWinScriptName.data();
    std::string strError;
    // One left by a driver that did not end cleanly would answer to a bus name long gone.
    const Message unloaded = m_pBus->Call(NewScriptingCall(m_strKWin, "unloadScript", {pszName}),
                                          kCallTimeoutMs, &strError);
    DBusMessage* pCall =
        NewScriptingCall(m_strKWin, "loadScript", {m_strScriptPath.c_str(), pszName});
    const Message loaded = m_pBus->Call(pCall, kCallTimeoutMs, &strError);
    int32_t nId = -1;
    if (!loaded ||
        !dbus_message_get_args(loaded.get(), nullptr, DBUS_TYPE_INT32, &nId, DBUS_TYPE_INVALID)) {
        *pWhyNot = "KWin does not load scripts: " + strError;
        return false;
    }
    if (nId < 0) {
        *pWhyNot = "KWin refused the focus script";
        return false;
    }
    // The script's object: /Scripting/Script<id> in Plasma 6, /<id> in Plasma 5. Where neither
    // answers, start() runs every script loaded and not yet running.
    for (const std::string& path :
         {"/Scripting/Script" + std::to_string(nId), "/" + std::to_string(nId)}) {
        pCall = dbus_message_new_method_call(m_strKWin.c_str(), path.c_str(), "org.kde.kwin.Script",
                                             "run");
        const Message ran = m_pBus->Call(pCall, kCallTimeoutMs, &strError);
        if (ran) {
            return true;
        }
    }
    const Message started =
        m_pBus->Call(NewScriptingCall(m_strKWin, "start", {}), kCallTimeoutMs, &strError);
    if (!started) {
        *pWhyNot = "KWin does not run the focus script: " + strError;
        return false;
    }
    return true;
}

void KWinFocusSource::LoadScriptAgain() {
    if (++m_nReloads > kMaxReloads) {
        m_strLost = "KWin restarted and does not take the focus script again";
        return;
    }
    DBusMessage* pCall = NewScriptingCall(m_strKWin, "loadScript",
                                          {m_strScriptPath.c_str(), kKWinScriptName.data()});
    if (pCall == nullptr || !dbus_connection_send(m_pBus->Connection(), pCall, &m_nReloadSerial)) {
        m_nReloadSerial = 0;
        ArmReload();
    }
    if (pCall != nullptr) {
        dbus_message_unref(pCall);
    }
}

void KWinFocusSource::ArmReload() {
    itimerspec when{};
    when.it_value.tv_nsec = kReloadDelayNs;
    ::timerfd_settime(m_nTimer, 0, &when, nullptr);
}

void KWinFocusSource::OnReloaded(DBusMessage* pReply) {
    m_nReloadSerial = 0;
    if (dbus_message_get_type(pReply) == DBUS_MESSAGE_TYPE_ERROR) {
        const char* pszError = dbus_message_get_error_name(pReply);
        const std::string error = pszError != nullptr ? pszError : "";
        if (error == DBUS_ERROR_UNKNOWN_OBJECT || error == DBUS_ERROR_UNKNOWN_METHOD ||
            error == DBUS_ERROR_SERVICE_UNKNOWN || error == DBUS_ERROR_NO_REPLY) {
            ArmReload(); // its scripting is not there yet
        } else {
            m_strLost = "KWin restarted and refused the focus script: " +
                        EscapeForLine(error.substr(0, kMaxErrorText));
        }
        return;
    }
    // start() runs every script loaded and not yet running, in Plasma 5 and 6 alike.
    m_pBus->Send(NewScriptingCall(m_strKWin, "start", {}));
    LogInfo("the focus script runs in KWin again");
}

void KWinFocusSource::UnloadScript() {
    std::string strError;
    const Message unloaded =
        m_pBus->Call(NewScriptingCall(m_strKWin, "unloadScript", {kKWinScriptName.data()}),
                     kUnloadTimeoutMs, &strError);
    if (!unloaded) {
        LogError("KWin did not unload the focus script: " + strError);
    }
}

int KWinFocusSource::WaitFd() const {
    return m_strLost.empty() ? m_nEpoll : -1;
}

void KWinFocusSource::HandleOther(DBusMessage* pMessage) {
    if (m_nReloadSerial != 0 && dbus_message_get_reply_serial(pMessage) == m_nReloadSerial) {
        OnReloaded(pMessage);
        return;
    }
    std::string owner;
    if (!SessionBus::OwnerChange(pMessage, kKWinName, &owner) || owner == m_strKWin) {
        return;
    }
    m_strKWin = owner;
    m_window = FocusedWindow{};
    m_nReloadSerial = 0;
    m_nReloads = 0;
    const itimerspec off{};
    ::timerfd_settime(m_nTimer, 0, &off, nullptr);
    if (m_strKWin.empty()) {
        LogInfo("KWin left the session bus; the focus is followed again when it comes back");
    } else {
        // A KWin that restarted (Plasma restarts it when it crashed) knows no script of ours.
        LogInfo("KWin is back on the session bus: loading the focus script again");
        LoadScriptAgain();
    }
}

void KWinFocusSource::HandleCall(DBusMessage* pMessage, const std::string& member) {
    const char* pszError = nullptr;
    const char* pszWhy = nullptr;
    if (member == kKWinFocusWindow && dbus_message_has_signature(pMessage, "sss")) {
        const char* pszClass = nullptr;
        const char* pszCaption = nullptr;
        const char* pszPid = nullptr;
        dbus_message_get_args(pMessage, nullptr, DBUS_TYPE_STRING, &pszClass, DBUS_TYPE_STRING,
                              &pszCaption, DBUS_TYPE_STRING, &pszPid, DBUS_TYPE_INVALID);
        m_window = WindowFromKWin(pszClass != nullptr ? pszClass : "",
                                  pszCaption != nullptr ? pszCaption : "",
                                  pszPid != nullptr ? pszPid : "");
        if (m_window.nPid > 0) {
            m_window.strProgram = ProgramOfProcess(m_window.nPid);
        }
    } else if (member == kKWinFocusNoWindow && dbus_message_has_signature(pMessage, "")) {
        m_window = FocusedWindow{};
    } else {
        pszError = DBUS_ERROR_INVALID_ARGS;
        pszWhy = "expected Window(sss) or NoWindow()";
    }
    m_pBus->Answer(pMessage, pszError, pszWhy);
}

void KWinFocusSource::BeforeDispatch() {
    uint64_t nExpired = 0;
    if (::read(m_nTimer, &nExpired, sizeof nExpired) == sizeof nExpired && !m_strKWin.empty()) {
        LoadScriptAgain();
    }
}

} // namespace vext
