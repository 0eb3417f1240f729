#include "vextd/focus/FocusSource.h"

#include "core/games/FocusPlan.h"
#include "core/platform/LineText.h"
#include "vextd/common/Log.h"

#if VEXT_HAVE_XCB
#include "vextd/focus/X11FocusSource.h"
#endif
#if VEXT_HAVE_WAYLAND_FOCUS
#include "vextd/focus/WlrFocusSource.h"
#include "vextd/focus/XWaylandFocusSource.h"
#endif
#if VEXT_HAVE_KWIN_FOCUS
#include "vextd/focus/GnomeFocusSource.h"
#include "vextd/focus/KWinFocusSource.h"
#endif

namespace vext {
namespace {

std::unique_ptr<FocusSource> OpenX11(std::string* pWhyNot) {
#if VEXT_HAVE_XCB
    return X11FocusSource::Open(nullptr, pWhyNot);
#else
    *pWhyNot = "vextd was built without X11 support";
    return nullptr;
#endif
}

std::unique_ptr<FocusSource> OpenWlroots(bool bXWayland, WaylandFocusFailure* pFailure) {
#if VEXT_HAVE_WAYLAND_FOCUS
    std::unique_ptr<FocusSource> pWayland =
        WlrFocusSource::Open(nullptr, &pFailure->strWlroots, &pFailure->globals);
    if (!pWayland || !bXWayland) {
        return pWayland;
    }
    std::string whyNoX11;
    std::unique_ptr<FocusSource> pX11 = OpenX11(&whyNoX11);
    if (pX11) {
        return XWaylandFocusSource::Make(std::move(pWayland), std::move(pX11),
                                         &pFailure->strWlroots);
    }
    LogInfo("XWayland windows are known by what the compositor tells alone: " +
            EscapeForLine(whyNoX11));
    return pWayland;
#else
    (void)bXWayland;
    pFailure->strWlroots = "vextd was built without Wayland support";
    return nullptr;
#endif
}

std::unique_ptr<FocusSource> OpenKWin(WaylandFocusFailure* pFailure) {
#if VEXT_HAVE_KWIN_FOCUS
    return KWinFocusSource::Open(&pFailure->strKWin, &pFailure->bKWinOnBus);
#else
    pFailure->strKWin = "vextd was built without D-Bus support";
    return nullptr;
#endif
}

// On X11 the Shell's extension is used only where it is on: X11 tells the focus without it.
std::unique_ptr<FocusSource> OpenGnome(bool bWayland, WaylandFocusFailure* pFailure) {
#if VEXT_HAVE_KWIN_FOCUS
    bool bShellOnBus = false;
    std::unique_ptr<FocusSource> pSource =
        GnomeFocusSource::Open(!bWayland, &pFailure->strGnome, &bShellOnBus);
    if (!pSource && !bWayland && bShellOnBus) {
        LogInfo("following the focus through X11: " + EscapeForLine(pFailure->strGnome));
    }
    return pSource;
#else
    (void)bWayland;
    pFailure->strGnome = "vextd was built without D-Bus support";
    return nullptr;
#endif
}

} // namespace

std::unique_ptr<FocusSource> OpenFocusSource(std::string* pWhyNot) {
    const FocusSessionFacts session = FocusSessionFromEnvironment();
    const FocusPlan plan = PlanFocusSource(session);
    WaylandFocusFailure failure;
    for (const FocusSourceKind kind : plan.kinds) {
        std::unique_ptr<FocusSource> pSource;
        switch (kind) {
        case FocusSourceKind::kX11:
            // The last one tried: its reason is the one to give.
            return OpenX11(pWhyNot);
        case FocusSourceKind::kKWin:
            pSource = OpenKWin(&failure);
            break;
        case FocusSourceKind::kGnome:
            pSource = OpenGnome(session.bWayland, &failure);
            break;
        case FocusSourceKind::kWlroots:
            pSource = OpenWlroots(plan.bXWayland, &failure);
            break;
        }
        if (pSource) {
            return pSource;
        }
    }
    *pWhyNot = WhyNoWaylandFocus(session.strDesktop, failure);
    return nullptr;
}

} // namespace vext
