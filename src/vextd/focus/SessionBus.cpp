#include "vextd/focus/SessionBus.h"

#include "core/platform/LineText.h"

#include <cstdlib>
#include <cstring>
#include <dbus/dbus.h>
#include <sys/stat.h>

namespace vext {
namespace {

constexpr int kCallTimeoutMs = 5000;
constexpr size_t kMaxErrorText = 200;
// Rounds of reading and writing in one Dispatch.
constexpr int kMaxRounds = 16;

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

std::string StringOf(DBusMessage* pMessage) {
    const char* psz = nullptr;
    return pMessage != nullptr && dbus_message_get_args(pMessage, nullptr, DBUS_TYPE_STRING, &psz,
                                                        DBUS_TYPE_INVALID)
               ? std::string(psz)
               : std::string();
}

} // namespace

void SessionBus::MessageUnref::operator()(DBusMessage* p) const {
    dbus_message_unref(p);
}

std::unique_ptr<SessionBus> SessionBus::Connect(std::string* pWhyNot) {
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
    std::unique_ptr<SessionBus> pBus(new SessionBus(pConnection));
    // Hello by hand, with a timeout (dbus_bus_register waits as long as the bus likes).
    std::string strError;
    const Message hello = pBus->AskBus("Hello", {}, &strError);
    const std::string unique = StringOf(hello.get());
    if (unique.empty() || !dbus_bus_set_unique_name(pConnection, unique.c_str())) {
        *pWhyNot = "the session bus does not answer" + (strError.empty() ? "" : ": " + strError);
        return nullptr;
    }
    pBus->m_strUnique = unique;
    return pBus;
}

SessionBus::SessionBus(DBusConnection* pConnection) : m_pConnection(pConnection) {}

SessionBus::~SessionBus() {
    dbus_connection_close(m_pConnection);
    dbus_connection_unref(m_pConnection);
}

int SessionBus::Fd() const {
    int nFd = -1;
    return dbus_connection_get_unix_fd(m_pConnection, &nFd) ? nFd : -1;
}

SessionBus::Message SessionBus::Call(DBusMessage* pCall, int nTimeoutMs, std::string* pError) {
    if (pCall == nullptr) {
        *pError = "out of memory";
        return nullptr;
    }
    const Message call(pCall);
    BusError error;
    Message reply(dbus_connection_send_with_reply_and_block(m_pConnection, call.get(), nTimeoutMs,
                                                            &error.error));
    if (!reply) {
        *pError = error.Is(DBUS_ERROR_NO_REPLY) || error.Is(DBUS_ERROR_TIMEOUT)
                      ? "no answer within " + std::to_string(nTimeoutMs / 1000) + " s"
                      : error.Text();
    }
    return reply;
}

SessionBus::Message SessionBus::AskBus(const char* pszMethod, const std::string& argument,
                                       std::string* pError) {
    DBusMessage* pCall = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                                      DBUS_INTERFACE_DBUS, pszMethod);
    const char* pszArgument = argument.c_str();
    if (pCall != nullptr && !argument.empty()) {
        dbus_message_append_args(pCall, DBUS_TYPE_STRING, &pszArgument, DBUS_TYPE_INVALID);
    }
    return Call(pCall, kCallTimeoutMs, pError);
}

bool SessionBus::FollowOwner(const std::string& name, std::string* pOwner, std::string* pError) {
    // The changes first, then the owner now: none falls between the two.
    const std::string rule = "type='signal',sender='org.freedesktop.DBus',"
                             "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
                             name + "'";
    if (!AskBus("AddMatch", rule, pError)) {
        return false;
    }
    std::string strError;
    const Message owner = AskBus("GetNameOwner", name, &strError);
    if (!owner && !strError.starts_with(DBUS_ERROR_NAME_HAS_NO_OWNER)) {
        *pError = strError;
        return false;
    }
    *pOwner = StringOf(owner.get());
    return true;
}

bool SessionBus::OwnName(const std::string& name, std::string* pError) {
    DBusMessage* pCall = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                                      DBUS_INTERFACE_DBUS, "RequestName");
    const char* pszName = name.c_str();
    const dbus_uint32_t nFlags = DBUS_NAME_FLAG_DO_NOT_QUEUE;
    if (pCall != nullptr &&
        !dbus_message_append_args(pCall, DBUS_TYPE_STRING, &pszName, DBUS_TYPE_UINT32, &nFlags,
                                  DBUS_TYPE_INVALID)) {
        dbus_message_unref(pCall);
        pCall = nullptr;
    }
    const Message reply = Call(pCall, kCallTimeoutMs, pError);
    dbus_uint32_t nResult = 0;
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &nResult,
                                         DBUS_TYPE_INVALID)) {
        return false;
    }
    if (nResult != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER &&
        nResult != DBUS_REQUEST_NAME_REPLY_ALREADY_OWNER) {
        *pError = "another program holds " + name + " on the session bus";
        return false;
    }
    return true;
}

void SessionBus::Dispatch(const std::function<void(DBusMessage*)>& handle) {
    // Writing may read more, and whatever was read is handled before the loop waits again (the
    // descriptor would not say).
    for (int nRound = 0; nRound < kMaxRounds; ++nRound) {
        dbus_connection_read_write(m_pConnection, 0);
        while (DBusMessage* pMessage = dbus_connection_pop_message(m_pConnection)) {
            const Message message(pMessage);
            handle(pMessage);
        }
        if (!dbus_connection_has_messages_to_send(m_pConnection) &&
            dbus_connection_get_dispatch_status(m_pConnection) != DBUS_DISPATCH_DATA_REMAINS) {
            break;
        }
    }
}

void SessionBus::Answer(DBusMessage* pCall, const char* pszError, const char* pszWhy) {
    if (dbus_message_get_no_reply(pCall)) {
        return;
    }
    DBusMessage* pReply = pszError != nullptr ? dbus_message_new_error(pCall, pszError, pszWhy)
                                              : dbus_message_new_method_return(pCall);
    if (pReply != nullptr) {
        dbus_connection_send(m_pConnection, pReply, nullptr);
        dbus_message_unref(pReply);
    }
}

void SessionBus::Send(DBusMessage* pCall) {
    if (pCall != nullptr) {
        dbus_message_set_no_reply(pCall, TRUE);
        dbus_connection_send(m_pConnection, pCall, nullptr);
        dbus_message_unref(pCall);
    }
}

bool SessionBus::OwnerChange(DBusMessage* pMessage, const std::string& name,
                             std::string* pNewOwner) {
    const char* pszName = nullptr;
    const char* pszOld = nullptr;
    const char* pszNew = nullptr;
    if (!dbus_message_is_signal(pMessage, DBUS_INTERFACE_DBUS, "NameOwnerChanged") ||
        Sender(pMessage) != DBUS_SERVICE_DBUS ||
        !dbus_message_get_args(pMessage, nullptr, DBUS_TYPE_STRING, &pszName, DBUS_TYPE_STRING,
                               &pszOld, DBUS_TYPE_STRING, &pszNew, DBUS_TYPE_INVALID) ||
        name != pszName) {
        return false;
    }
    *pNewOwner = pszNew;
    return true;
}

bool SessionBus::IsDisconnect(DBusMessage* pMessage) {
    return dbus_message_is_signal(pMessage, DBUS_INTERFACE_LOCAL, "Disconnected") != 0;
}

std::string SessionBus::Sender(DBusMessage* pMessage) {
    const char* pszSender = dbus_message_get_sender(pMessage);
    return pszSender != nullptr ? pszSender : "";
}

} // namespace vext
