#include "XWaylandFocusSource.h"

#include "Log.h"
#include "games/FocusPlan.h"
#include "platform/LineText.h"

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
    m_last = MergeXWaylandFocus(m_wayland, m_x11);
    return m_last;
}

std::optional<FocusedWindow> XWaylandFocusSource::Dispatch() {
    // Both take only what waits, so both are asked whichever woke the loop.
    if (std::optional<FocusedWindow> window = m_pWayland->Dispatch()) {
        m_wayland = std::move(*window);
    }
    if (!m_pWayland->Lost().empty()) {
        return FocusedWindow{};
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
    FocusedWindow window = MergeXWaylandFocus(m_wayland, m_x11);
    if (window == m_last) {
        return std::nullopt;
    }
    m_last = std::move(window);
    return m_last;
}

} // namespace vext
