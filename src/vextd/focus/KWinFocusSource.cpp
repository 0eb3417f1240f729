#include "vextd/focus/KWinFocusSource.h"

#include "core/games/KWinReport.h"
#include "core/games/ProgramName.h"
#include "core/platform/LineText.h"
#include "vextd/common/Log.h"

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
constexpr int kUnloadTimeoutMs = 1000;
constexpr size_t kMaxErrorText = 200;
// Rounds of reading and writing in one Dispatch; a bus that is not taking what is written gets
// the rest when the descriptor next wakes the loop.
constexpr int kMaxRounds = 16;
// A KWin that has just restarted owns its name before its scripting answers: the script is
// offered again every half second, for a while.
constexpr long kReloadDelayNs = 500'000'000;
constexpr int kMaxReloads = 60;
constexpr const char* kKWinName = "org.kde.KWin";
constexpr const char* kScriptingPath = "/Scripting";
constexpr const char* kScriptingInterface = "org.kde.kwin.Scripting";

// A DBusError that frees itself.
struct BusError {
    BusError() { dbus_error_init(&error); }
    ~BusError() { dbus_error_free(&error); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    bool IsSet() const { return dbus_error_is_set(&error) != 0; }
    bool Is(const char* pszName) const { return dbus_error_has_name(&error, pszName) != 0; }
    // A peer's words: escaped and bounded before they reach the log or --status.
    std::string Text() const {
        const std::string text = IsSet() ? std::string(error.name) + ": " + error.message : "";
        return EscapeForLine(text.substr(0, kMaxErrorText));
    }
    DBusError error;
};

struct MessageUnref {
    void operator()(DBusMessage* p) const { dbus_message_unref(p); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

std::string Env(const char* pszName) {
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? pszValue : "";
}

// The session bus as the session names it; never "autolaunch:", which would start a bus (and
// an X11 helper) of the driver's own.
std::string SessionBusAddress(std::string* pWhyNot) {
    std::string address = Env("DBUS_SESSION_BUS_ADDRESS");
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    struct stat info {};
    if (address.empty() && runtime.starts_with('/') &&
        ::stat((runtime + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
        char* pszEscaped = dbus_address_escape_value((runtime + "/bus").c_str());
        if (pszEscaped != nullptr) {
            address = std::string("unix:path=") + pszEscaped;
            dbus_free(pszEscaped);
        }
    }
    if (address.empty() || address.starts_with("autolaunch:")) {
        *pWhyNot = "no session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
        return {};
    }
    return address;
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

void SendWithoutAnswer(DBusConnection* pConnection, DBusMessage* pCall) {
    if (pCall != nullptr) {
        dbus_message_set_no_reply(pCall, TRUE);
        dbus_connection_send(pConnection, pCall, nullptr);
        dbus_message_unref(pCall);
    }
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
    const std::string address = SessionBusAddress(pWhyNot);
    if (address.empty()) {
        return nullptr;
    }
    BusError error;
    DBusConnection* pConnection = dbus_connection_open_private(address.c_str(), &error.error);
    if (pConnection == nullptr) {
        *pWhyNot = "cannot connect to the session bus: " + error.Text();
        return nullptr;
    }
    dbus_connection_set_exit_on_disconnect(pConnection, FALSE);
    std::unique_ptr<KWinFocusSource> pSource(new KWinFocusSource(pConnection));
    // The loop waits on the bus and on the timer of a reload, together.
    pSource->m_nEpoll = ::epoll_create1(EPOLL_CLOEXEC);
    pSource->m_nTimer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    int nBusFd = -1;
    if (!dbus_connection_get_unix_fd(pConnection, &nBusFd) || pSource->m_nEpoll < 0 ||
        !Watch(pSource->m_nEpoll, nBusFd) || !Watch(pSource->m_nEpoll, pSource->m_nTimer)) {
        *pWhyNot = std::string("cannot wait on the session bus: ") + std::strerror(errno);
        return nullptr;
    }

    // Hello by hand, with a timeout (dbus_bus_register waits as long as the bus likes).
    std::string strError;
    Message hello(pSource->AskBus("Hello", {}, &strError));
    const char* pszUnique = nullptr;
    if (!hello ||
        !dbus_message_get_args(hello.get(), nullptr, DBUS_TYPE_STRING, &pszUnique,
                               DBUS_TYPE_INVALID) ||
        !dbus_bus_set_unique_name(pConnection, pszUnique)) {
        *pWhyNot = "the session bus does not answer" + (strError.empty() ? "" : ": " + strError);
        return nullptr;
    }
    const std::string unique = pszUnique;
    // KWin's restarts, before its name is asked: none falls between the two.
    const std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',"
                                         "interface='org.freedesktop.DBus',"
                                         "member='NameOwnerChanged',arg0='") +
                             kKWinName + "'";
    const Message matched(pSource->AskBus("AddMatch", rule, &strError));
    if (!matched) {
        *pWhyNot = "the session bus refused to tell of KWin: " + strError;
        return nullptr;
    }
    Message owner(pSource->AskBus("GetNameOwner", kKWinName, &strError));
    const char* pszOwner = nullptr;
    if (!owner || !dbus_message_get_args(owner.get(), nullptr, DBUS_TYPE_STRING, &pszOwner,
                                         DBUS_TYPE_INVALID)) {
        *pWhyNot = strError.starts_with(DBUS_ERROR_NAME_HAS_NO_OWNER)
                       ? "KWin is not on the session bus"
                       : "the session bus does not tell of KWin: " + strError;
        return nullptr;
    }
    *pbKWinOnBus = true;
    pSource->m_strKWin = pszOwner;
    if (!pSource->WriteScript(unique, pWhyNot) || !pSource->LoadScript(pWhyNot)) {
        return nullptr;
    }
    LogDebug("KWin (" + pSource->m_strKWin + ") reports the focus to " + unique);
    // The script tells the window active now as it starts: here, when it came with KWin's
    // answer, else through Dispatch.
    pSource->Drain();
    pSource->m_last = pSource->m_window;
    return pSource;
}

KWinFocusSource::KWinFocusSource(DBusConnection* pConnection) : m_pConnection(pConnection) {}

KWinFocusSource::~KWinFocusSource() {
    if (m_strLost.empty() && !m_strKWin.empty() && !m_strScriptPath.empty()) {
        UnloadScript();
    }
    dbus_connection_close(m_pConnection);
    dbus_connection_unref(m_pConnection);
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

DBusMessage* KWinFocusSource::Call(DBusMessage* pCall, int nTimeoutMs, std::string* pError) {
    if (pCall == nullptr) {
        *pError = "out of memory";
        return nullptr;
    }
    Message call(pCall);
    BusError error;
    DBusMessage* pReply = dbus_connection_send_with_reply_and_block(m_pConnection, call.get(),
                                                                    nTimeoutMs, &error.error);
    if (pReply == nullptr) {
        *pError = error.Is(DBUS_ERROR_NO_REPLY) || error.Is(DBUS_ERROR_TIMEOUT)
                      ? "no answer within " + std::to_string(nTimeoutMs / 1000) + " s"
                      : error.Text();
    }
    return pReply;
}

DBusMessage* KWinFocusSource::AskBus(const char* pszMethod, const std::string& argument,
                                     std::string* pError) {
    DBusMessage* pCall = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                                      DBUS_INTERFACE_DBUS, pszMethod);
    const char* pszArgument = argument.c_str();
    if (pCall != nullptr && !argument.empty()) {
        dbus_message_append_args(pCall, DBUS_TYPE_STRING, &pszArgument, DBUS_TYPE_INVALID);
    }
    return Call(pCall, kCallTimeoutMs, pError);
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
        Message reply(AskBus("GetConnectionUnixUser", m_strKWin, &strError));
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
    const Message unloaded(
        Call(NewScriptingCall(m_strKWin, "unloadScript", {pszName}), kCallTimeoutMs, &strError));
    DBusMessage* pCall =
        NewScriptingCall(m_strKWin, "loadScript", {m_strScriptPath.c_str(), pszName});
    Message loaded(Call(pCall, kCallTimeoutMs, &strError));
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
        const Message ran(Call(pCall, kCallTimeoutMs, &strError));
        if (ran) {
            return true;
        }
    }
    const Message started(
        Call(NewScriptingCall(m_strKWin, "start", {}), kCallTimeoutMs, &strError));
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
    if (pCall == nullptr || !dbus_connection_send(m_pConnection, pCall, &m_nReloadSerial)) {
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
    SendWithoutAnswer(m_pConnection, NewScriptingCall(m_strKWin, "start", {}));
    LogInfo("the focus script runs in KWin again");
}

void KWinFocusSource::UnloadScript() {
    std::string strError;
    const Message unloaded(
        Call(NewScriptingCall(m_strKWin, "unloadScript", {kKWinScriptName.data()}),
             kUnloadTimeoutMs, &strError));
    if (!unloaded) {
        LogError("KWin did not unload the focus script: " + strError);
    }
}

int KWinFocusSource::WaitFd() const {
    return m_strLost.empty() ? m_nEpoll : -1;
}

void KWinFocusSource::Drain() {
    while (DBusMessage* pMessage = dbus_connection_pop_message(m_pConnection)) {
        Message message(pMessage);
        Handle(pMessage);
    }
}

void KWinFocusSource::Handle(DBusMessage* pMessage) {
    if (dbus_message_is_signal(pMessage, DBUS_INTERFACE_LOCAL, "Disconnected")) {
        m_strLost = "the session bus closed the connection";
        return;
    }
    if (dbus_message_get_type(pMessage) == DBUS_MESSAGE_TYPE_METHOD_CALL) {
        HandleCall(pMessage);
        return;
    }
    if (m_nReloadSerial != 0 && dbus_message_get_reply_serial(pMessage) == m_nReloadSerial) {
        OnReloaded(pMessage);
        return;
    }
    const char* pszSender = dbus_message_get_sender(pMessage);
    const char* pszName = nullptr;
    const char* pszOld = nullptr;
    const char* pszNew = nullptr;
    if (!dbus_message_is_signal(pMessage, DBUS_INTERFACE_DBUS, "NameOwnerChanged") ||
        pszSender == nullptr || std::strcmp(pszSender, DBUS_SERVICE_DBUS) != 0 ||
        !dbus_message_get_args(pMessage, nullptr, DBUS_TYPE_STRING, &pszName, DBUS_TYPE_STRING,
                               &pszOld, DBUS_TYPE_STRING, &pszNew, DBUS_TYPE_INVALID) ||
        std::strcmp(pszName, kKWinName) != 0 || m_strKWin == pszNew) {
        return;
    }
    m_strKWin = pszNew;
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

void KWinFocusSource::HandleCall(DBusMessage* pMessage) {
    const char* pszSender = dbus_message_get_sender(pMessage);
    const std::string sender = pszSender != nullptr ? pszSender : "";
    const bool bOurs =
        dbus_message_has_path(pMessage, std::string(kKWinFocusPath).c_str()) &&
        dbus_message_has_interface(pMessage, std::string(kKWinFocusInterface).c_str());
    const char* pszMember = dbus_message_get_member(pMessage);
    const std::string member = pszMember != nullptr ? pszMember : "";
    const char* pszError = nullptr;
    const char* pszWhy = nullptr;
    if (!bOurs) {
        pszError = DBUS_ERROR_UNKNOWN_METHOD;
        pszWhy = "no such method";
    } else if (!IsFromKWin(sender, m_strKWin)) {
        // Anyone on the session bus can call: a window of their own making is not KWin's word.
        LogDebug("a focus report from " + EscapeForLine(sender) + ", not KWin, is ignored");
        pszError = DBUS_ERROR_ACCESS_DENIED;
        pszWhy = "only KWin reports the focus";
    } else if (member == kKWinFocusWindow && dbus_message_has_signature(pMessage, "sss")) {
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
    if (dbus_message_get_no_reply(pMessage)) {
        return;
    }
    DBusMessage* pReply = pszError != nullptr ? dbus_message_new_error(pMessage, pszError, pszWhy)
                                              : dbus_message_new_method_return(pMessage);
    if (pReply != nullptr) {
        dbus_connection_send(m_pConnection, pReply, nullptr);
        dbus_message_unref(pReply);
    }
}

FocusedWindow KWinFocusSource::Current() {
    Drain();
    m_last = m_window;
    return m_last;
}

std::optional<FocusedWindow> KWinFocusSource::Dispatch() {
    if (!m_strLost.empty()) {
        return std::nullopt;
    }
    uint64_t nExpired = 0;
    if (::read(m_nTimer, &nExpired, sizeof nExpired) == sizeof nExpired && !m_strKWin.empty()) {
        LoadScriptAgain();
    }
    // Reads what is there and writes the answers, never blocking; writing may read more, and
    // whatever was read is handled before the loop waits again (the descriptor would not say).
    for (int nRound = 0; nRound < kMaxRounds; ++nRound) {
        dbus_connection_read_write(m_pConnection, 0);
        Drain();
        if (!dbus_connection_has_messages_to_send(m_pConnection) &&
            dbus_connection_get_dispatch_status(m_pConnection) != DBUS_DISPATCH_DATA_REMAINS) {
            break;
        }
    }
    if (!m_strLost.empty()) {
        return FocusedWindow{};
    }
    if (m_window == m_last) {
        return std::nullopt;
    }
    m_last = m_window;
    return m_last;
}

} // namespace vext
