#include "vextd/focus/BusFocusSource.h"

#include <dbus/dbus.h>

namespace vext {

void BusFocusSource::Handle(DBusMessage* pMessage) {
    if (SessionBus::IsDisconnect(pMessage)) {
        m_strLost = "the session bus closed the connection";
    } else if (dbus_message_get_type(pMessage) == DBUS_MESSAGE_TYPE_METHOD_CALL) {
        HandleCall(pMessage);
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
