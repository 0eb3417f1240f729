#include "vextd/focus/XWaylandFocusSource.h"

#include "core/games/FocusPlan.h"
#include "core/platform/LineText.h"
#include "vextd/common/Log.h"

#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <unistd.h>

namespace vext {
namespace {

bool Watch(int nEpoll, int nFd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = nFd;
    return nFd >= 0 && ::epoll_ctl(nEpoll, EPOLL_CTL_ADD, nFd, &event) == 0;
}

} // namespace

std::unique_ptr<XWaylandFocusSource>
XWaylandFocusSource::Make(std::unique_ptr<FocusSource> pWayland, std::unique_ptr<FocusSource> pX11,
                          std::string* pWhyNot) {
    // An epoll descriptor is readable while one of those it watches is.
    const int nEpoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (nEpoll < 0 || !Watch(nEpoll, pWayland->WaitFd()) || !Watch(nEpoll, pX11->WaitFd())) {
        *pWhyNot = std::string("cannot wait on the compositor and XWayland together: ") +
                   std::strerror(errno);
        if (nEpoll >= 0) {
            ::close(nEpoll);
        }
        return nullptr;
    }
    return std::unique_ptr<XWaylandFocusSource>(
        new XWaylandFocusSource(std::move(pWayland), std::move(pX11), nEpoll));
}

XWaylandFocusSource::XWaylandFocusSource(std::unique_ptr<FocusSource> pWayland,
                                         std::unique_ptr<FocusSource> pX11, int nEpoll)
    : m_pWayland(std::move(pWayland)), m_pX11(std::move(pX11)), m_nEpoll(nEpoll) {}

XWaylandFocusSource::~XWaylandFocusSource() {
    ::close(m_nEpoll);
}

std::string XWaylandFocusSource::Name() const {
    return m_pWayland->Name() + (m_pX11 ? " + XWayland" : "");
}

int XWaylandFocusSource::WaitFd() const {
    return m_pWayland->Lost().empty() ? m_nEpoll : -1;
}

FocusedWindow XWaylandFocusSource::Current() {
    m_wayland = m_pWayland->Current();
    m_x11 = m_pX11 ? m_pX11->Current() : FocusedWindow{};
    m_last = Merge();
    return m_last;
}

FocusedWindow XWaylandFocusSource::Merge() {
    FocusedWindow window = MergeXWaylandFocus(m_wayland, m_x11);
    if (!(window == m_wayland)) {
        m_strCompletedId = m_wayland.strId;
        m_completed = window;
        return window;
    }
    // X11 and the compositor tell of a focus change each in its own time: while the compositor
    // still names the XWayland window completed last, X11 naming no window or the next one is
    // that change on its way, and the window keeps its X facts.
    if (m_wayland.bPresent && m_wayland.strId == m_strCompletedId) {
        window = m_completed;
        window.strTitle = m_wayland.strTitle.empty() ? window.strTitle : m_wayland.strTitle;
    }
    return window;
}

std::optional<FocusedWindow> XWaylandFocusSource::Dispatch() {
    // Both take only what waits, so both are asked whichever woke the loop.
    bool bWaylandMoved = false;
    if (std::optional<FocusedWindow> window = m_pWayland->Dispatch()) {
        bWaylandMoved = window->strId != m_wayland.strId;
        m_wayland = std::move(*window);
    }
    if (!m_pWayland->Lost().empty()) {
        return FocusedWindow{};
    }
    // The compositor names the window X11 still has to tell of: wlroots sets the X property
    // before it tells its clients, so X11 asked now knows it.
    if (bWaylandMoved && m_pX11 && m_wayland.bPresent &&
        MergeXWaylandFocus(m_wayland, m_x11) == m_wayland) {
        m_x11 = m_pX11->Current();
    }
    if (m_pX11) {
        if (std::optional<FocusedWindow> window = m_pX11->Dispatch()) {
            m_x11 = std::move(*window);
        }
        if (!m_pX11->Lost().empty()) {
            LogError("XWayland windows are known by what the compositor tells alone: " +
                     EscapeForLine(m_pX11->Lost()));
            m_pX11.reset(); // its descriptor leaves the epoll set as it closes
            m_x11 = FocusedWindow{};
        }
    }
    FocusedWindow window = Merge();
    if (window == m_last) {
        return std::nullopt;
    }
    m_last = std::move(window);
    return m_last;
}

} // namespace vext
