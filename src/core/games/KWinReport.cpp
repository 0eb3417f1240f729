#include "core/games/KWinReport.h"

#include "core/games/BusText.h"

#include <algorithm>
#include <cstdint>

namespace vext {
namespace {

// Plasma 6 names the signal windowActivated and the property activeWindow; Plasma 5 says
// clientActivated and activeClient. Everything goes over as text: how a JavaScript number
// reaches the bus (int or double) differs between Qt versions. A window that changes its caption
// or class while active (a game that renames its window once loaded) is reported again.
constexpr std::string_view kScript = R"js((function () {
    var bus = "@BUS@";
    var path = "@PATH@";
    var iface = "@INTERFACE@";
    var followed = null;
    function text(value) {
        return value === undefined || value === null ? "" : String(value);
    }
    function active() {
        return workspace.activeWindow !== undefined ? workspace.activeWindow
                                                    : workspace.activeClient;
    }
    function reportActive() {
        report(active());
    }
    function follow(window) {
        if (followed) {
            try {
                followed.captionChanged.disconnect(reportActive);
                followed.windowClassChanged.disconnect(reportActive);
            } catch (e) {
            }
        }
        followed = window;
        if (window) {
            window.captionChanged.connect(reportActive);
            window.windowClassChanged.connect(reportActive);
        }
    }
    function report(window) {
        if (window !== followed) {
            follow(window);
        }
        if (window) {
            callDBus(bus, path, iface, "@WINDOW@", text(window.resourceClass),
                     text(window.caption), text(window.pid));
        } else {
            callDBus(bus, path, iface, "@NOWINDOW@");
        }
    }
    (workspace.windowActivated || workspace.clientActivated).connect(report);
    reportActive();
})();
)js";

void ReplaceAll(std::string* pText, std::string_view from, std::string_view to) {
    for (size_t nAt = pText->find(from); nAt != std::string::npos;
         nAt = pText->find(from, nAt + to.size())) {
        pText->replace(nAt, from.size(), to);
    }
}

int32_t PidFromText(std::string_view text) {
    if (text.empty() || text.size() > 10) {
        return 0;
    }
    int64_t nPid = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
        nPid = nPid * 10 + (c - '0');
    }
    return nPid <= INT32_MAX ? static_cast<int32_t>(nPid) : 0;
}

} // namespace

std::string KWinFocusScript(std::string_view busName) {
    if (!IsUniqueBusName(busName)) {
        return {};
    }
    std::string script(kScript);
    ReplaceAll(&script, "@BUS@", busName);
    ReplaceAll(&script, "@PATH@", kKWinFocusPath);
    ReplaceAll(&script, "@INTERFACE@", kKWinFocusInterface);
    ReplaceAll(&script, "@WINDOW@", kKWinFocusWindow);
    ReplaceAll(&script, "@NOWINDOW@", kKWinFocusNoWindow);
    return script;
}

bool IsFromKWin(std::string_view sender, std::string_view kwinOwner) {
    return IsFromNameOwner(sender, kwinOwner);
}

FocusedWindow WindowFromKWin(std::string_view resourceClass, std::string_view caption,
                             std::string_view pid) {
    FocusedWindow window;
    window.bPresent = true;
    window.nPid = PidFromText(pid);
    window.strId = window.nPid > 0 ? "of pid " + std::to_string(window.nPid) : "of KWin";
    if (!resourceClass.empty()) {
        window.classes.push_back(BoundedUtf8(resourceClass, kMaxKWinClass));
    }
    window.strTitle = BoundedUtf8(caption, kMaxKWinCaption);
    return window;
}

} // namespace vext
