#include "vextd/focus/WlrFocusSource.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <wayland-client.h>

namespace vext {

// A window as the compositor last described it: events change the pending facts, and "done"
// makes them the window's.
struct WlrFocusSource::Toplevel {
    WlrFocusSource* pOwner = nullptr;
    zwlr_foreign_toplevel_handle_v1* pHandle = nullptr;
    uint32_t nNumber = 0;
    std::string strTitle;
    std::string strAppId;
    bool bActivated = false;
    std::string strPendingTitle;
    std::string strPendingAppId;
    bool bPendingActivated = false;
    // Orders activations, in case a compositor leaves an old window activated for a moment.
    uint64_t nActivatedAt = 0;
};

namespace {

constexpr int kRoundtripTimeoutMs = 3000;

std::string Text(const char* psz) {
    return psz != nullptr ? psz : "";
}

} // namespace

// The protocol's C callbacks, with access to the source.
struct WlrListeners {
    using Toplevel = WlrFocusSource::Toplevel;

    static void Global(void* pData, wl_registry* pRegistry, uint32_t nName,
                       const char* pszInterface, uint32_t nVersion) {
        auto* pSource = static_cast<WlrFocusSource*>(pData);
        pSource->m_globals.push_back(Text(pszInterface));
        if (pSource->m_pManager == nullptr &&
            std::strcmp(pszInterface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
            pSource->m_pManager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
                wl_registry_bind(pRegistry, nName, &zwlr_foreign_toplevel_manager_v1_interface,
                                 std::min<uint32_t>(nVersion, 3)));
        }
    }
    static void GlobalRemove(void*, wl_registry*, uint32_t) {}

    static void NewToplevel(void* pData, zwlr_foreign_toplevel_manager_v1*,
                            zwlr_foreign_toplevel_handle_v1* pHandle) {
        auto* pSource = static_cast<WlrFocusSource*>(pData);
        auto pToplevel = std::make_unique<Toplevel>();
        pToplevel->pOwner = pSource;
        pToplevel->pHandle = pHandle;
        pToplevel->nNumber = pSource->m_nNextNumber++;
        zwlr_foreign_toplevel_handle_v1_add_listener(pHandle, &kHandle, pToplevel.get());
        pSource->m_toplevels.push_back(std::move(pToplevel));
    }
    static void Finished(void* pData, zwlr_foreign_toplevel_manager_v1* pManager) {
        auto* pSource = static_cast<WlrFocusSource*>(pData);
        zwlr_foreign_toplevel_manager_v1_destroy(pManager);
        pSource->m_pManager = nullptr;
        pSource->m_strLost = "the Wayland compositor stopped telling its windows";
    }

    static void Title(void* pData, zwlr_foreign_toplevel_handle_v1*, const char* pszTitle) {
        static_cast<Toplevel*>(pData)->strPendingTitle = Text(pszTitle);
    }
    static void AppId(void* pData, zwlr_foreign_toplevel_handle_v1*, const char* pszAppId) {
        static_cast<Toplevel*>(pData)->strPendingAppId = Text(pszAppId);
    }
    static void OutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void OutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void State(void* pData, zwlr_foreign_toplevel_handle_v1*, wl_array* pState) {
        bool bActivated = false;
        const size_t nCount = pState->size / sizeof(uint32_t);
        for (size_t i = 0; i < nCount; ++i) {
            uint32_t nState = 0;
            std::memcpy(&nState, static_cast<const char*>(pState->data) + i * sizeof nState,
                        sizeof nState);
            bActivated = bActivated || nState == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        }
        static_cast<Toplevel*>(pData)->bPendingActivated = bActivated;
    }
    static void Done(void* pData, zwlr_foreign_toplevel_handle_v1*) {
        auto* pToplevel = static_cast<Toplevel*>(pData);
        if (pToplevel->bPendingActivated && !pToplevel->bActivated) {
            pToplevel->nActivatedAt = ++pToplevel->pOwner->m_nActivations;
        }
        pToplevel->strTitle = pToplevel->strPendingTitle;
        pToplevel->strAppId = pToplevel->strPendingAppId;
        pToplevel->bActivated = pToplevel->bPendingActivated;
    }
    static void Closed(void* pData, zwlr_foreign_toplevel_handle_v1* pHandle) {
        auto* pToplevel = static_cast<Toplevel*>(pData);
        std::erase_if(
            pToplevel->pOwner->m_toplevels,
            [pToplevel](const std::unique_ptr<Toplevel>& p) { return p.get() == pToplevel; });
        zwlr_foreign_toplevel_handle_v1_destroy(pHandle);
    }
    static void Parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static constexpr wl_registry_listener kRegistry = {Global, GlobalRemove};
    static constexpr zwlr_foreign_toplevel_manager_v1_listener kManager = {NewToplevel, Finished};
    static constexpr zwlr_foreign_toplevel_handle_v1_listener kHandle = {
        Title, AppId, OutputEnter, OutputLeave, State, Done, Closed, Parent};
};

std::unique_ptr<WlrFocusSource> WlrFocusSource::Open(const char* pszDisplay, std::string* pWhyNot,
                                                     std::vector<std::string>* pGlobals) {
    const char* pszName = pszDisplay != nullptr ? pszDisplay : std::getenv("WAYLAND_DISPLAY");
    const std::string name = pszName != nullptr && *pszName != '\0' ? pszName : "wayland-0";
    wl_display* pDisplay = wl_display_connect(name.c_str());
    if (pDisplay == nullptr) {
        *pWhyNot = "cannot connect to the Wayland display " + name + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<WlrFocusSource> pSource(new WlrFocusSource(pDisplay));
    pSource->m_pRegistry = wl_display_get_registry(pDisplay);
    wl_registry_add_listener(pSource->m_pRegistry, &WlrListeners::kRegistry, pSource.get());
    if (!pSource->Roundtrip()) {
        *pWhyNot = "the Wayland compositor on " + name + " does not answer";
        return nullptr;
    }
    *pGlobals = pSource->m_globals;
    if (pSource->m_pManager == nullptr) {
        *pWhyNot = "the Wayland compositor does not offer the wlroots foreign-toplevel protocol";
        return nullptr;
    }
    zwlr_foreign_toplevel_manager_v1_add_listener(pSource->m_pManager, &WlrListeners::kManager,
                                                  pSource.get());
    // The windows there are, each with its facts and a "done".
    if (!pSource->Roundtrip()) {
        *pWhyNot = "the Wayland compositor on " + name + " does not answer";
        return nullptr;
    }
    pSource->m_last = pSource->Active();
    return pSource;
}

WlrFocusSource::WlrFocusSource(wl_display* pDisplay) : m_pDisplay(pDisplay) {}

WlrFocusSource::~WlrFocusSource() {
    for (const std::unique_ptr<Toplevel>& pToplevel : m_toplevels) {
        zwlr_foreign_toplevel_handle_v1_destroy(pToplevel->pHandle);
    }
    if (m_pManager != nullptr) {
        zwlr_foreign_toplevel_manager_v1_destroy(m_pManager);
    }
    if (m_pRegistry != nullptr) {
        wl_registry_destroy(m_pRegistry);
    }
    wl_display_disconnect(m_pDisplay);
}

int WlrFocusSource::WaitFd() const {
    return m_strLost.empty() ? wl_display_get_fd(m_pDisplay) : -1;
}

bool WlrFocusSource::Pump(int nTimeoutMs) {
    while (wl_display_prepare_read(m_pDisplay) != 0) {
        if (wl_display_dispatch_pending(m_pDisplay) < 0) {
            return false;
        }
    }
    if (wl_display_flush(m_pDisplay) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(m_pDisplay);
        return false;
    }
    pollfd wait{wl_display_get_fd(m_pDisplay), POLLIN, 0};
    if (::poll(&wait, 1, nTimeoutMs) > 0) {
        if (wl_display_read_events(m_pDisplay) < 0) {
            return false;
        }
    } else {
        wl_display_cancel_read(m_pDisplay);
    }
    return wl_display_dispatch_pending(m_pDisplay) >= 0;
}

bool WlrFocusSource::Roundtrip() {
    bool bDone = false;
    static constexpr wl_callback_listener kDone = {
        [](void* pData, wl_callback* pCallback, uint32_t) {
            *static_cast<bool*>(pData) = true;
            wl_callback_destroy(pCallback);
        }};
    wl_callback* pCallback = wl_display_sync(m_pDisplay);
    wl_callback_add_listener(pCallback, &kDone, &bDone);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kRoundtripTimeoutMs);
    while (!bDone) {
        const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
                               deadline - std::chrono::steady_clock::now())
                               .count();
        if (nLeft <= 0 || !Pump(static_cast<int>(nLeft))) {
            if (!bDone) {
                // Its answer, should it come, must not land on the stack.
                wl_callback_destroy(pCallback);
            }
            return false;
        }
    }
    return true;
}

FocusedWindow WlrFocusSource::Active() const {
    const Toplevel* pActive = nullptr;
    for (const std::unique_ptr<Toplevel>& pToplevel : m_toplevels) {
        if (pToplevel->bActivated &&
            (pActive == nullptr || pToplevel->nActivatedAt > pActive->nActivatedAt)) {
            pActive = pToplevel.get();
        }
    }
    FocusedWindow window;
    if (pActive != nullptr) {
        window.bPresent = true;
        window.strId = "toplevel " + std::to_string(pActive->nNumber);
        if (!pActive->strAppId.empty()) {
            window.classes.push_back(pActive->strAppId);
        }
        window.strTitle = pActive->strTitle;
    }
    return window;
}

FocusedWindow WlrFocusSource::Current() {
    return m_last;
}

std::optional<FocusedWindow> WlrFocusSource::Dispatch() {
    if (!m_strLost.empty()) {
        return std::nullopt;
    }
    if (!Pump(0) || wl_display_get_error(m_pDisplay) != 0) {
        m_strLost = "the Wayland compositor closed the connection";
        return FocusedWindow{};
    }
    if (!m_strLost.empty()) {
        return FocusedWindow{}; // the manager finished
    }
    FocusedWindow window = Active();
    if (window == m_last) {
        return std::nullopt;
    }
    m_last = std::move(window);
    return m_last;
}

} // namespace vext
