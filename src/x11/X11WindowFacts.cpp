#include "x11/X11WindowFacts.h"

#include "core/games/ProgramName.h"
#include "core/platform/TextEncoding.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

namespace vext {
namespace {

// Titles and classes longer than this are cut: nothing a rule needs is beyond it.
constexpr uint32_t kMaxPropertyWords = 1024;
constexpr size_t kMaxClientSearch = 256;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_get_property_cookie_t AskProperty(xcb_connection_t* pConnection, xcb_window_t window,
                                      xcb_atom_t property, xcb_atom_t type) {
    return xcb_get_property(pConnection, 0, window, property, type, 0, kMaxPropertyWords);
}

// The property's bytes; empty when it is missing or of another type.
std::string PropertyBytes(xcb_connection_t* pConnection, xcb_get_property_cookie_t cookie,
                          xcb_atom_t* pType = nullptr) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(pConnection, cookie, nullptr));
    if (!reply || reply->format != 8) {
        return {};
    }
    if (pType != nullptr) {
        *pType = reply->type;
    }
    const auto* pData = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const int nLength = xcb_get_property_value_length(reply.get());
    return nLength > 0 ? std::string(pData, static_cast<size_t>(nLength)) : std::string();
}

uint32_t PropertyCardinal(xcb_connection_t* pConnection, xcb_get_property_cookie_t cookie) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(pConnection, cookie, nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) {
        return 0;
    }
    uint32_t n = 0;
    std::memcpy(&n, xcb_get_property_value(reply.get()), sizeof n);
    return n;
}

bool SameMachine(std::string_view machine) {
    if (machine.empty()) {
        return true; // not said: local clients often leave it out
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) {
        return false;
    }
    return machine == host;
}

} // namespace

bool X11Atoms::Intern(xcb_connection_t* pConnection) {
    const struct {
        const char* pszName;
        xcb_atom_t* pAtom;
    } names[] = {{"_NET_ACTIVE_WINDOW", &netActiveWindow},
                 {"_NET_WM_PID", &netWmPid},
                 {"_NET_WM_NAME", &netWmName},
                 {"UTF8_STRING", &utf8String},
                 {"WM_STATE", &wmState}};
    xcb_intern_atom_cookie_t cookies[std::size(names)];
    for (size_t i = 0; i < std::size(names); ++i) {
        cookies[i] = xcb_intern_atom(
            pConnection, 0, static_cast<uint16_t>(std::strlen(names[i].pszName)), names[i].pszName);
    }
    bool bOk = true;
    for (size_t i = 0; i < std::size(names); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(pConnection, cookies[i], nullptr));
        bOk = bOk && reply != nullptr;
        *names[i].pAtom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    return bOk;
}

FocusedWindow ReadWindowFacts(xcb_connection_t* pConnection, const X11Atoms& atoms,
                              xcb_window_t window) {
    FocusedWindow facts;
    if (window == XCB_WINDOW_NONE) {
        return facts;
    }
    char id[16];
    std::snprintf(id, sizeof id, "0x%x", window);
    facts.strId = id;
    // Asked all at once: one round trip, not five.
    const auto classCookie = AskProperty(pConnection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    const auto netNameCookie = AskProperty(pConnection, window, atoms.netWmName, atoms.utf8String);
    const auto nameCookie =
        AskProperty(pConnection, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY);
    const auto pidCookie = AskProperty(pConnection, window, atoms.netWmPid, XCB_ATOM_CARDINAL);
    const auto machineCookie =
        AskProperty(pConnection, window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING);
    const auto attributesCookie = xcb_get_window_attributes(pConnection, window);

    const std::string classes = PropertyBytes(pConnection, classCookie);
    std::string title = PropertyBytes(pConnection, netNameCookie);
    xcb_atom_t nameType = XCB_ATOM_NONE;
    const std::string name = PropertyBytes(pConnection, nameCookie, &nameType);
    const uint32_t nPid = PropertyCardinal(pConnection, pidCookie);
    const std::string machine = PropertyBytes(pConnection, machineCookie);
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(pConnection, attributesCookie, nullptr));
    if (!attributes) {
        return facts; // gone
    }
    facts.bPresent = true;
    // WM_CLASS: instance and class, each ended by a NUL.
    for (size_t nAt = 0; nAt < classes.size();) {
        const size_t nEnd = classes.find('\0', nAt);
        facts.classes.push_back(classes.substr(nAt, nEnd - nAt));
        nAt = nEnd == std::string::npos ? classes.size() : nEnd + 1;
    }
    if (title.empty()) {
        // WM_NAME of type STRING is Latin-1; anything else is taken as UTF-8.
        title = nameType == XCB_ATOM_STRING ? Cp1252ToUtf8(name) : name;
    }
    facts.strTitle = title.substr(0, title.find('\0'));
    if (nPid > 0 && nPid <= 0x7FFFFFFF && SameMachine(machine.substr(0, machine.find('\0')))) {
        facts.nPid = static_cast<int32_t>(nPid);
        facts.strProgram = ProgramOfProcess(facts.nPid);
    }
    return facts;
}

xcb_window_t FindClientWindow(xcb_connection_t* pConnection, const X11Atoms& atoms,
                              xcb_window_t frame) {
    std::deque<xcb_window_t> queue{frame};
    for (size_t nSeen = 0; !queue.empty() && nSeen < kMaxClientSearch; ++nSeen) {
        const xcb_window_t window = queue.front();
        queue.pop_front();
        Reply<xcb_get_property_reply_t> state(
            xcb_get_property_reply(pConnection,
                                   xcb_get_property(pConnection, 0, window, atoms.wmState,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
                                   nullptr));
        if (state && state->type != XCB_ATOM_NONE) {
            return window;
        }
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(pConnection, xcb_query_tree(pConnection, window), nullptr));
        if (!tree) {
            continue;
        }
        const xcb_window_t* pChildren = xcb_query_tree_children(tree.get());
        const int nChildren = xcb_query_tree_children_length(tree.get());
        for (int i = 0; i < nChildren; ++i) {
            queue.push_back(pChildren[i]);
        }
    }
    return frame;
}

xcb_window_t ReadWindowProperty(xcb_connection_t* pConnection, xcb_window_t window,
                                xcb_atom_t property) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        pConnection, xcb_get_property(pConnection, 0, window, property, XCB_ATOM_WINDOW, 0, 1),
        nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) {
        return XCB_WINDOW_NONE;
    }
    xcb_window_t value = XCB_WINDOW_NONE;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

} // namespace vext
