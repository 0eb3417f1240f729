#include "gui/keys/WaylandKeymap.h"

#include <QGuiApplication>

#ifdef VEXT_HAVE_WAYLAND_KEYMAP
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>
#endif

namespace vext {

#ifdef VEXT_HAVE_WAYLAND_KEYMAP

// A compositor's keymap is some tens of kilobytes; anything far larger is not one.
constexpr uint32_t kMaxKeymapSize = 4u << 20;

struct WaylandKeymap::Connection {
    wl_display* pDisplay = nullptr;
    wl_registry* pRegistry = nullptr;
    wl_seat* pSeat = nullptr;
    wl_keyboard* pKeyboard = nullptr;
    xkb_context* pContext = nullptr;
    xkb_keymap* pKeymap = nullptr;

    ~Connection() {
        if (pKeymap)
            xkb_keymap_unref(pKeymap);
        if (pContext)
            xkb_context_unref(pContext);
        if (pKeyboard)
            wl_keyboard_destroy(pKeyboard);
        if (pSeat)
            wl_seat_destroy(pSeat);
        if (pRegistry)
            wl_registry_destroy(pRegistry);
        if (pDisplay)
            wl_display_disconnect(pDisplay);
    }

    // Takes in what the compositor sent meanwhile, without waiting for more.
    void Pump() {
        if (wl_display_get_error(pDisplay) != 0)
            return;
        while (wl_display_prepare_read(pDisplay) != 0) {
            if (wl_display_dispatch_pending(pDisplay) < 0)
                return;
        }
        wl_display_flush(pDisplay);
        pollfd ready{wl_display_get_fd(pDisplay), POLLIN, 0};
        if (::poll(&ready, 1, 0) > 0)
            wl_display_read_events(pDisplay);
        else
            wl_display_cancel_read(pDisplay);
        wl_display_dispatch_pending(pDisplay);
    }

    void TakeKeymap(int fd, uint32_t nSize) {
        void* pMap = ::mmap(nullptr, nSize, PROT_READ, MAP_PRIVATE, fd, 0);
        if (pMap == MAP_FAILED)
            return;
        const char* pszText = static_cast<const char*>(pMap);
        xkb_keymap* pNew =
            xkb_keymap_new_from_buffer(pContext, pszText, ::strnlen(pszText, nSize),
                                       XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
        ::munmap(pMap, nSize);
        if (pNew) {
            if (pKeymap)
                xkb_keymap_unref(pKeymap);
            pKeymap = pNew;
        }
    }
};

namespace {

using Connection = WaylandKeymap::Connection;

void OnKeymap(void* pData, wl_keyboard*, uint32_t nFormat, int32_t fd, uint32_t nSize) {
    if (nFormat == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && nSize > 0 && nSize <= kMaxKeymapSize)
        static_cast<Connection*>(pData)->TakeKeymap(fd, nSize);
    ::close(fd);
}
// This connection has no windows: it never has the focus and is told no keys.
void OnEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void OnLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void OnKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener{OnKeymap, OnEnter,     OnLeave,
                                             OnKey,    OnModifiers, OnRepeatInfo};

void OnCapabilities(void* pData, wl_seat* pSeat, uint32_t nCapabilities) {
    auto* pConnection = static_cast<Connection*>(pData);
    const bool bKeyboard = (nCapabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (bKeyboard && !pConnection->pKeyboard) {
        pConnection->pKeyboard = wl_seat_get_keyboard(pSeat);
        wl_keyboard_add_listener(pConnection->pKeyboard, &kKeyboardListener, pConnection);
    } else if (!bKeyboard && pConnection->pKeyboard) {
        // The last keymap stays: the next keyboard most likely brings the same.
        wl_keyboard_destroy(pConnection->pKeyboard);
        pConnection->pKeyboard = nullptr;
    }
}
void OnSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener{OnCapabilities, OnSeatName};

void OnGlobal(void* pData, wl_registry* pRegistry, uint32_t nName, const char* pszInterface,
              uint32_t) {
    auto* pConnection = static_cast<Connection*>(pData);
    // The first seat is the one Qt takes too.
    if (!pConnection->pSeat && std::strcmp(pszInterface, wl_seat_interface.name) == 0) {
        pConnection->pSeat =
            static_cast<wl_seat*>(wl_registry_bind(pRegistry, nName, &wl_seat_interface, 1));
        wl_seat_add_listener(pConnection->pSeat, &kSeatListener, pConnection);
    }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};

} // namespace

WaylandKeymap* WaylandKeymap::Instance() {
    static const std::unique_ptr<WaylandKeymap> pInstance = []() -> std::unique_ptr<WaylandKeymap> {
        if (!qGuiApp || !QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            return nullptr;
        auto pConnection = std::make_unique<Connection>();
        pConnection->pContext = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        pConnection->pDisplay = wl_display_connect(nullptr);
        if (!pConnection->pContext || !pConnection->pDisplay)
            return nullptr;
        pConnection->pRegistry = wl_display_get_registry(pConnection->pDisplay);
        wl_registry_add_listener(pConnection->pRegistry, &kRegistryListener, pConnection.get());
        // The seat, its capabilities, then the keymap its keyboard is sent at once.
        for (int i = 0; i < 3; ++i) {
            if (wl_display_roundtrip(pConnection->pDisplay) < 0)
                return nullptr;
        }
        return std::unique_ptr<WaylandKeymap>(new WaylandKeymap(std::move(pConnection)));
    }();
    return pInstance.get();
}

char32_t WaylandKeymap::BaseChar(uint32_t nKeyCode, uint32_t nKeySym) {
    Connection& connection = *m_pConnection;
    connection.Pump();
    xkb_keymap* pKeymap = connection.pKeymap;
    if (!pKeymap)
        return 0;
    const xkb_layout_index_t nLayouts = xkb_keymap_num_layouts_for_key(pKeymap, nKeyCode);
    const auto givesKeySym = [pKeymap, nKeyCode, nKeySym](xkb_layout_index_t layout) {
        const xkb_level_index_t nLevels = xkb_keymap_num_levels_for_key(pKeymap, nKeyCode, layout);
        for (xkb_level_index_t level = 0; level < nLevels; ++level) {
            const xkb_keysym_t* pSyms = nullptr;
            const int nSyms =
                xkb_keymap_key_get_syms_by_level(pKeymap, nKeyCode, layout, level, &pSyms);
            for (int i = 0; i < nSyms; ++i) {
                if (pSyms[i] == nKeySym)
                    return true;
            }
        }
        return false;
    };
    xkb_layout_index_t layout = 0;
    while (layout < nLayouts && !givesKeySym(layout))
        ++layout;
    // A keymap that has not the event's keysym at that key is not the one the event was made
    // with: a virtual keyboard (wtype, an on-screen keyboard) sends a keymap of its own, often
    // one per character, and this connection takes it in before or after Qt does. The event's
    // own keysym is then the truth.
    if (layout == nLayouts && nKeySym != 0)
        return xkb_keysym_to_utf32(nKeySym);
    if (layout == nLayouts)
        layout = 0;
    const xkb_keysym_t* pSyms = nullptr;
    if (nLayouts == 0 ||
        xkb_keymap_key_get_syms_by_level(pKeymap, nKeyCode, layout, 0, &pSyms) != 1)
        return 0;
    return xkb_keysym_to_utf32(pSyms[0]);
}

#else

struct WaylandKeymap::Connection {};

WaylandKeymap* WaylandKeymap::Instance() {
    return nullptr;
}

char32_t WaylandKeymap::BaseChar(uint32_t, uint32_t) {
    return 0;
}

#endif

WaylandKeymap::WaylandKeymap(std::unique_ptr<Connection> pConnection)
    : m_pConnection(std::move(pConnection)) {}

WaylandKeymap::~WaylandKeymap() = default;

} // namespace vext
