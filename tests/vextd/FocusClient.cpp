#if VEXT_HAVE_XCB

#include "FocusClient.h"

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace vext::test {
namespace {

xcb_connection_t* AsConnection(void* p) {
    return static_cast<xcb_connection_t*>(p);
}

uint32_t Intern(xcb_connection_t* pConnection, const char* pszName) {
    xcb_intern_atom_reply_t* pReply = xcb_intern_atom_reply(
        pConnection,
        xcb_intern_atom(pConnection, 0, static_cast<uint16_t>(std::strlen(pszName)), pszName),
        nullptr);
    const uint32_t atom = pReply != nullptr ? pReply->atom : 0;
    std::free(pReply);
    return atom;
}

// A round trip: everything sent before is in the server when it returns.
bool Sync(xcb_connection_t* pConnection) {
    xcb_get_input_focus_reply_t* pReply =
        xcb_get_input_focus_reply(pConnection, xcb_get_input_focus(pConnection), nullptr);
    std::free(pReply);
    return pReply != nullptr;
}

} // namespace

FocusClient::~FocusClient() {
    if (m_pConnection != nullptr) {
        xcb_disconnect(AsConnection(m_pConnection));
    }
}

bool FocusClient::Open(const std::string& display) {
    xcb_connection_t* pConnection = xcb_connect(display.c_str(), nullptr);
    m_pConnection = pConnection;
    if (xcb_connection_has_error(pConnection) != 0) {
        return false;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(pConnection)).data->root;
    m_activeAtom = Intern(pConnection, "_NET_ACTIVE_WINDOW");
    m_pidAtom = Intern(pConnection, "_NET_WM_PID");
    m_nameAtom = Intern(pConnection, "_NET_WM_NAME");
    m_utf8Atom = Intern(pConnection, "UTF8_STRING");
    return m_activeAtom != 0 && m_utf8Atom != 0;
}

uint32_t FocusClient::MakeWindow(const std::string& instance, const std::string& windowClass,
                                 const std::string& title, int32_t nPid) {
    xcb_connection_t* pConnection = AsConnection(m_pConnection);
    const xcb_window_t window = xcb_generate_id(pConnection);
    // Painted, so that XWayland hands the compositor a buffer and it maps the window.
    const uint32_t nBackground = 0x336699;
    xcb_create_window(pConnection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 64, 64, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL,
                      &nBackground);
    const std::string classes = instance + '\0' + windowClass + '\0';
    xcb_change_property(pConnection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, static_cast<uint32_t>(classes.size()), classes.data());
    if (nPid != 0) {
        xcb_change_property(pConnection, XCB_PROP_MODE_REPLACE, window, m_pidAtom,
                            XCB_ATOM_CARDINAL, 32, 1, &nPid);
    }
    xcb_map_window(pConnection, window);
    SetTitle(window, title);
    return window;
}

void FocusClient::SetTitle(uint32_t window, const std::string& title) {
    xcb_change_property(AsConnection(m_pConnection), XCB_PROP_MODE_REPLACE, window, m_nameAtom,
                        m_utf8Atom, 8, static_cast<uint32_t>(title.size()), title.data());
    Sync(AsConnection(m_pConnection));
}

bool FocusClient::Activate(uint32_t window) {
    xcb_change_property(AsConnection(m_pConnection), XCB_PROP_MODE_REPLACE, m_root, m_activeAtom,
                        XCB_ATOM_WINDOW, 32, 1, &window);
    return Sync(AsConnection(m_pConnection));
}

} // namespace vext::test

#endif
