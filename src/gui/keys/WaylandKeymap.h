#pragma once

// The keyboard layout of a Wayland session, for the keystroke capture: the character a key gives
// with no modifier, as the X11 capture reads it from the X server. Qt keeps its keymap to itself,
// so a connection of our own asks the compositor for the seat's keymap; the compositor sends it
// to every client, and again whenever the keyboard in use changes (a virtual keyboard, such as an
// on-screen one, brings its own key numbers and layout).

#include <cstdint>
#include <memory>

namespace vext {

class WaylandKeymap {
public:
    // The session's keymap, or nullptr when the program does not run on Qt's wayland platform,
    // was built without Wayland support, or the compositor cannot be reached.
    static WaylandKeymap* Instance();

    ~WaylandKeymap();
    WaylandKeymap(const WaylandKeymap&) = delete;
    WaylandKeymap& operator=(const WaylandKeymap&) = delete;

    // The character of the key with xkb key code nKeyCode at its first level, in the layout in
    // which the key gives nKeySym (the event's keysym); when no layout of the session's keymap
    // does, the keymap is not the event's and the character is nKeySym's own. 0 when there is
    // no character.
    char32_t BaseChar(uint32_t nKeyCode, uint32_t nKeySym);

    struct Connection; // the compositor connection and the keymap, opaque

private:
    explicit WaylandKeymap(std::unique_ptr<Connection> pConnection);

    std::unique_ptr<Connection> m_pConnection;
};

} // namespace vext
