#include "FocusSource.h"

#include "Log.h"
#include "games/FocusPlan.h"
#include "platform/LineText.h"

#if VEXT_HAVE_XCB
#include "X11FocusSource.h"
#endif
#if VEXT_HAVE_WAYLAND_FOCUS
#include "WlrFocusSource.h"
#include "XWaylandFocusSource.h"
#endif

#include <vector>

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

std::unique_ptr<FocusSource> OpenWayland(const FocusSessionFacts& session, bool bXWayland,
                                         std::string* pWhyNot) {
#if VEXT_HAVE_WAYLAND_FOCUS
    std::vector<std::string> globals;
    std::unique_ptr<FocusSource> pWayland = WlrFocusSource::Open(nullptr, pWhyNot, &globals);
    if (!pWayland) {
        *pWhyNot = WhyNoWaylandFocus(session.strDesktop, globals, *pWhyNot);
        return nullptr;
    }
    if (!bXWayland) {
        return pWayland;
    }
    std::string whyNoX11;
    std::unique_ptr<FocusSource> pX11 = OpenX11(&whyNoX11);
    if (pX11) {
        return XWaylandFocusSource::Make(std::move(pWayland), std::move(pX11), pWhyNot);
    }
    LogInfo("XWayland windows are known by what the compositor tells alone: " +
            EscapeForLine(whyNoX11));
    return pWayland;
#else
    *pWhyNot = WhyNoWaylandFocus(session.strDesktop, {}, "vextd was built without Wayland support");
    (void)bXWayland;
    return nullptr;
#endif
}

} // namespace

std::unique_ptr<FocusSource> OpenFocusSource(std::string* pWhyNot) {
    const FocusSessionFacts session = FocusSessionFromEnvironment();
    const FocusPlan plan = PlanFocusSource(session);
    if (plan.kind == FocusSourceKind::kWlroots) {
        return OpenWayland(session, plan.bXWayland, pWhyNot);
    }
    return OpenX11(pWhyNot);
}

} // namespace vext
