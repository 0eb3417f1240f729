#include "vextd/focus/BusFocusSource.h"

#include "core/games/BusText.h"
#include "core/platform/LineText.h"
#include "vextd/common/Log.h"

#include <dbus/dbus.h>

namespace vext {

void BusFocusSource::Screen(DBusMessage* pCall) {
    const std::string sender = SessionBus::Sender(pCall);
    if (!dbus_message_has_path(pCall, m_strPath.c_str()) ||
        !dbus_message_has_interface(pCall, m_strInterface.c_str())) {
        m_pBus->Answer(pCall, DBUS_ERROR_UNKNOWN_METHOD, "no such method");
    } else if (!IsFromNameOwner(sender, Caller())) {
        // A window of another program's making is not the desktop's word.
        LogDebug("a focus report from " + EscapeForLine(sender) + ", not " + Name() +
                 ", is ignored");
        m_pBus->Answer(pCall, DBUS_ERROR_ACCESS_DENIED,
                       ("only " + Name() + " reports the focus").c_str());
    } else {
        const char* pszMember = dbus_message_get_member(pCall);
        HandleCall(pCall, pszMember != nullptr ? pszMember : "");
    }
}

void BusFocusSource::Handle(DBusMessage* pMessage) {
    if (SessionBus::IsDisconnect(pMessage)) {
        m_strLost = "the session bus closed the connection";
    } else if (dbus_message_get_type(pMessage) == DBUS_MESSAGE_TYPE_METHOD_CALL) {
        Screen(pMessage);
    } else {
        HandleOther(pMessage);
    }
}

FocusedWindow BusFocusSource::Current() {
    m_pBus->Dispatch([this](DBusMessage* pMessage) { Handle(pMessage); });
    m_last = m_window;
    return m_last;
}

std::optional<FocusedWindow> BusFocusSource::Dispatch() {
    if (!m_strLost.empty()) {
        return std::nullopt;
    }
    BeforeDispatch();
    m_pBus->Dispatch([this](DBusMessage* pMessage) { Handle(pMessage); });
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
