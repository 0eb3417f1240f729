#include "gui/dialogs/WindowPicker.h"

#include "gui/framework/Resources.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#if VEXT_HAVE_XCB
#include "x11/X11WindowFacts.h"

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#endif

namespace vext {

#if VEXT_HAVE_XCB

namespace {

constexpr uint16_t kCrossGlyph = 34; // XC_crosshair in the cursor font
constexpr uint32_t kEscapeKeysym = 0xFF1B;

xcb_keycode_t EscapeKeycode(xcb_connection_t* pConnection) {
    const xcb_setup_t* pSetup = xcb_get_setup(pConnection);
    const uint8_t nCount = static_cast<uint8_t>(pSetup->max_keycode - pSetup->min_keycode + 1);
    xcb_get_keyboard_mapping_reply_t* pReply = xcb_get_keyboard_mapping_reply(
        pConnection, xcb_get_keyboard_mapping(pConnection, pSetup->min_keycode, nCount), nullptr);
    if (pReply == nullptr) {
        return 0;
    }
    const xcb_keysym_t* pSyms = xcb_get_keyboard_mapping_keysyms(pReply);
    const int nSyms = xcb_get_keyboard_mapping_keysyms_length(pReply);
    xcb_keycode_t escape = 0;
    for (int i = 0; i < nSyms && pReply->keysyms_per_keycode > 0; ++i) {
        if (pSyms[i] == kEscapeKeysym) {
            escape =
                static_cast<xcb_keycode_t>(pSetup->min_keycode + i / pReply->keysyms_per_keycode);
            break;
        }
    }
    std::free(pReply);
    return escape;
}

} // namespace

struct WindowPicker::Grab {
    xcb_connection_t* pConnection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_cursor_t cursor = XCB_NONE;
    xcb_keycode_t escape = 0;
    X11Atoms atoms;
    std::unique_ptr<QSocketNotifier> pNotifier;

    ~Grab() {
        pNotifier.reset();
        if (pConnection != nullptr) {
            xcb_ungrab_pointer(pConnection, XCB_CURRENT_TIME);
            xcb_ungrab_keyboard(pConnection, XCB_CURRENT_TIME);
            if (cursor != XCB_NONE) {
                xcb_free_cursor(pConnection, cursor);
            }
            xcb_flush(pConnection);
            xcb_disconnect(pConnection);
        }
    }
};

bool WindowPicker::IsAvailable() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool WindowPicker::Start(std::function<void(std::optional<FocusedWindow>)> done, QString* pError) {
    auto pGrab = std::make_unique<Grab>();
    int nScreen = 0;
    pGrab->pConnection = xcb_connect(nullptr, &nScreen);
    xcb_connection_t* c = pGrab->pConnection;
    if (xcb_connection_has_error(c) != 0 || !pGrab->atoms.Intern(c)) {
        *pError = ResString(2533);
        return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < nScreen && it.rem > 0; ++i) {
        xcb_screen_next(&it);
    }
    pGrab->root = it.data->root;
    const xcb_font_t font = xcb_generate_id(c);
    xcb_open_font(c, font, 6, "cursor");
    pGrab->cursor = xcb_generate_id(c);
    xcb_create_glyph_cursor(c, pGrab->cursor, font, font, kCrossGlyph, kCrossGlyph + 1, 0, 0, 0,
                            0xFFFF, 0xFFFF, 0xFFFF);
    xcb_close_font(c, font);
    xcb_grab_pointer_reply_t* pPointer = xcb_grab_pointer_reply(
        c,
        xcb_grab_pointer(c, 0, pGrab->root, XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC,
                         XCB_GRAB_MODE_ASYNC, XCB_NONE, pGrab->cursor, XCB_CURRENT_TIME),
        nullptr);
    const bool bPointer = pPointer != nullptr && pPointer->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(pPointer);
    if (!bPointer) {
        *pError = ResString(2534);
        return false;
    }
    // Without the keyboard, Esc cannot cancel, but a click still picks.
    std::free(xcb_grab_keyboard_reply(c,
                                      xcb_grab_keyboard(c, 0, pGrab->root, XCB_CURRENT_TIME,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                      nullptr));
    pGrab->escape = EscapeKeycode(c);
    xcb_flush(c);
    pGrab->pNotifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(pGrab->pNotifier.get(), &QSocketNotifier::activated, this, &WindowPicker::OnEvents);
    m_pGrab = std::move(pGrab);
    m_done = std::move(done);
    OnEvents(); // anything that came with the replies
    return true;
}

void WindowPicker::OnEvents() {
    if (!m_pGrab) {
        return;
    }
    xcb_connection_t* c = m_pGrab->pConnection;
    while (xcb_generic_event_t* pEvent = xcb_poll_for_event(c)) {
        const uint8_t nType = pEvent->response_type & 0x7F;
        std::optional<std::optional<FocusedWindow>> result;
        if (nType == XCB_BUTTON_PRESS) {
            const auto* pPress = reinterpret_cast<const xcb_button_press_event_t*>(pEvent);
            if (pPress->detail == 1 && pPress->child != XCB_WINDOW_NONE) {
                const xcb_window_t client = FindClientWindow(c, m_pGrab->atoms, pPress->child);
                result = ReadWindowFacts(c, m_pGrab->atoms, client);
            } else {
                result = std::optional<FocusedWindow>(); // another button, or the desktop
            }
        } else if (nType == XCB_KEY_PRESS) {
            const auto* pKey = reinterpret_cast<const xcb_key_press_event_t*>(pEvent);
            if (pKey->detail == m_pGrab->escape) {
                result = std::optional<FocusedWindow>();
            }
        }
        std::free(pEvent);
        if (result) {
            Finish(*result);
            return;
        }
    }
    if (xcb_connection_has_error(c) != 0) {
        Finish(std::nullopt);
    }
}

#else

struct WindowPicker::Grab {};

bool WindowPicker::IsAvailable() {
    return false;
}

bool WindowPicker::Start(std::function<void(std::optional<FocusedWindow>)>, QString* pError) {
    *pError = ResString(2535);
    return false;
}

void WindowPicker::OnEvents() {}

#endif

QString WindowPicker::UnavailableReason() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ? ResString(2542)
                                                                                : ResString(2535);
}

WindowPicker::WindowPicker(QObject* pParent) : QObject(pParent) {}

WindowPicker::~WindowPicker() = default;

void WindowPicker::Finish(std::optional<FocusedWindow> window) {
    m_pGrab.reset();
    if (auto done = std::move(m_done)) {
        done(std::move(window));
    }
}

} // namespace vext
