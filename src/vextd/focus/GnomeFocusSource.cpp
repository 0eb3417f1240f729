#include "vextd/focus/GnomeFocusSource.h"

#include "core/games/BusText.h"
#include "core/games/ProgramName.h"
#include "core/platform/LineText.h"
#include "vextd/common/Log.h"

#include <cstdint>
#include <cstring>
#include <dbus/dbus.h>

namespace vext {
namespace {

constexpr int kCallTimeoutMs = 2000;
constexpr const char* kShellPath = "/org/gnome/Shell";
constexpr const char* kExtensionsInterface = "org.gnome.Shell.Extensions";
// A state dictionary holds a dozen entries; a longer one is read no further.
constexpr int kMaxInfoEntries = 64;

// The "state" of an a{sv} extension info, read where the iterator stands.
bool StateOf(DBusMessageIter* pInfo, double* pState) {
    if (dbus_message_iter_get_arg_type(pInfo) != DBUS_TYPE_ARRAY) {
        return false;
    }
    DBusMessageIter entries;
    dbus_message_iter_recurse(pInfo, &entries);
    for (int i = 0;
         i < kMaxInfoEntries && dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY;
         ++i, dbus_message_iter_next(&entries)) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&entries, &entry);
        const char* pszKey = nullptr;
        if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING) {
            continue;
        }
        dbus_message_iter_get_basic(&entry, &pszKey);
        DBusMessageIter value;
        if (std::strcmp(pszKey, "state") != 0 || !dbus_message_iter_next(&entry) ||
            dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_VARIANT) {
            continue;
        }
        dbus_message_iter_recurse(&entry, &value);
        if (dbus_message_iter_get_arg_type(&value) == DBUS_TYPE_DOUBLE) {
            dbus_message_iter_get_basic(&value, pState);
            return true;
        }
    }
    return false;
}

} // namespace

std::unique_ptr<GnomeFocusSource> GnomeFocusSource::Open(bool bNeedExtension, std::string* pWhyNot,
                                                         bool* pbShellOnBus) {
    *pbShellOnBus = false;
    std::unique_ptr<SessionBus> pBus = SessionBus::Connect(pWhyNot);
    if (!pBus) {
        return nullptr;
    }
    std::unique_ptr<GnomeFocusSource> pSource(new GnomeFocusSource(std::move(pBus)));
    SessionBus& bus = *pSource->m_pBus;
    std::string strError;
    const std::string shell(kGnomeShellName);
    if (!bus.FollowOwner(shell, &pSource->m_strShell, &strError)) {
        *pWhyNot = "the session bus does not tell of GNOME Shell: " + strError;
        return nullptr;
    }
    if (pSource->m_strShell.empty()) {
        *pWhyNot = "GNOME Shell is not on the session bus";
        return nullptr;
    }
    *pbShellOnBus = true;
    const GnomeExtensionState state = pSource->AskExtension();
    if (bNeedExtension && state != GnomeExtensionState::kEnabled) {
        *pWhyNot = GnomeExtensionAdvice(state);
        return nullptr;
    }
    const std::string rule = "type='signal',sender='" + shell + "',interface='" +
                             kExtensionsInterface + "',member='ExtensionStateChanged'";
    if (!bus.AskBus("AddMatch", rule, &strError) ||
        !bus.OwnName(std::string(kGnomeFocusName), &strError)) {
        *pWhyNot = "cannot take the focus from GNOME Shell: " + strError;
        return nullptr;
    }
    pSource->SetExtensionState(state);
    LogDebug("GNOME Shell (" + pSource->m_strShell + ") reports the focus to " +
             std::string(kGnomeFocusName));
    // The extension reports as soon as it sees the driver's name: here, when that came already.
    pSource->Current();
    return pSource;
}

int GnomeFocusSource::WaitFd() const {
    return m_strLost.empty() ? m_pBus->Fd() : -1;
}

GnomeExtensionState GnomeFocusSource::AskExtension() {
    DBusMessage* pCall = dbus_message_new_method_call(m_strShell.c_str(), kShellPath,
                                                      kExtensionsInterface, "GetExtensionInfo");
    const char* pszUuid = kGnomeExtensionUuid.data();
    if (pCall != nullptr &&
        !dbus_message_append_args(pCall, DBUS_TYPE_STRING, &pszUuid, DBUS_TYPE_INVALID)) {
        dbus_message_unref(pCall);
        pCall = nullptr;
    }
    std::string strError;
    const SessionBus::Message reply = m_pBus->Call(pCall, kCallTimeoutMs, &strError);
    double dState = 0;
    DBusMessageIter info;
    const bool bHasState =
        reply && dbus_message_iter_init(reply.get(), &info) && StateOf(&info, &dState);
    if (!reply) {
        LogInfo("GNOME Shell does not tell how its extensions stand: " + strError);
    }
    return GnomeExtensionStateFrom(bHasState, dState);
}

void GnomeFocusSource::SetExtensionState(GnomeExtensionState state) {
    const std::string waiting = GnomeExtensionAdvice(state);
    if (waiting == m_strWaiting) {
        return;
    }
    m_strWaiting = waiting;
    if (!waiting.empty()) {
        m_window = FocusedWindow{};
        LogInfo("per-game key sets wait: " + waiting);
    }
}

void GnomeFocusSource::HandleOther(DBusMessage* pMessage) {
    std::string owner;
    if (SessionBus::OwnerChange(pMessage, std::string(kGnomeShellName), &owner)) {
        if (owner != m_strShell) {
            m_strShell = owner;
            m_window = FocusedWindow{};
            // A Shell that restarted (X11's Alt+F2 r) runs its extensions again; they report.
            if (!owner.empty()) {
                SetExtensionState(AskExtension());
            }
        }
        return;
    }
    DBusMessageIter args;
    const char* pszUuid = nullptr;
    if (dbus_message_is_signal(pMessage, kExtensionsInterface, "ExtensionStateChanged") &&
        IsFromNameOwner(SessionBus::Sender(pMessage), m_strShell) &&
        dbus_message_iter_init(pMessage, &args) &&
        dbus_message_iter_get_arg_type(&args) == DBUS_TYPE_STRING) {
        dbus_message_iter_get_basic(&args, &pszUuid);
        double dState = 0;
        if (kGnomeExtensionUuid == pszUuid && dbus_message_iter_next(&args) &&
            StateOf(&args, &dState)) {
            SetExtensionState(GnomeExtensionStateFrom(true, dState));
        }
    }
}

void GnomeFocusSource::HandleCall(DBusMessage* pMessage, const std::string& member) {
    if (member == kGnomeFocusWindow && dbus_message_has_signature(pMessage, "ssu")) {
        const char* pszClass = nullptr;
        const char* pszTitle = nullptr;
        dbus_uint32_t nPid = 0;
        dbus_message_get_args(pMessage, nullptr, DBUS_TYPE_STRING, &pszClass, DBUS_TYPE_STRING,
                              &pszTitle, DBUS_TYPE_UINT32, &nPid, DBUS_TYPE_INVALID);
        m_window = WindowFromGnome(pszClass != nullptr ? pszClass : "",
                                   pszTitle != nullptr ? pszTitle : "", nPid);
        if (m_window.nPid > 0) {
            m_window.strProgram = ProgramOfProcess(m_window.nPid);
        }
        SetExtensionState(GnomeExtensionState::kEnabled);
    } else if (member == kGnomeFocusNoWindow && dbus_message_has_signature(pMessage, "")) {
        m_window = FocusedWindow{};
        SetExtensionState(GnomeExtensionState::kEnabled);
    } else if (member == kGnomeFocusStopped && dbus_message_has_signature(pMessage, "")) {
        SetExtensionState(GnomeExtensionState::kDisabled);
    } else {
        m_pBus->Answer(pMessage, DBUS_ERROR_INVALID_ARGS,
                       "expected Window(ssu), NoWindow() or Stopped()");
        return;
    }
    m_pBus->Answer(pMessage);
}

} // namespace vext
