// Which focus sources each session tries, why GNOME's and KDE's Wayland sessions get none, and how
// an XWayland window's facts from X11 complete what the compositor says of it.

#include "core/games/FocusPlan.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(FocusPlan, SessionChoosesTheSource) {
    using enum FocusSourceKind;
    struct Case {
        FocusSessionFacts facts;
        FocusPlan plan;
    };
    const Case cases[] = {
        {{false, true, "XFCE"}, {{kX11}, false}},
        {{false, false, ""}, {{kX11}, false}}, // X11 says there is no display
        {{false, true, "KDE"}, {{kX11}, false}},
        {{false, true, "ubuntu:GNOME"}, {{kGnome, kX11}, false}}, // X11 where it is off
        {{true, false, "sway"}, {{kWlroots, kKWin, kGnome}, false}},
        {{true, true, "sway"}, {{kWlroots, kKWin, kGnome}, true}},
        // KWin or GNOME Shell may be on the bus all the same.
        {{true, true, ""}, {{kWlroots, kKWin, kGnome}, true}},
        {{true, true, "ubuntu:GNOME"}, {{kGnome}, false}},
        {{true, true, "KDE"}, {{kKWin, kWlroots}, true}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlanFocusSource(c.facts), c.plan) << c.facts.strDesktop;
    }
}

TEST(FocusPlan, GnomeAndKdeSayWhyTheyGiveNoFocus) {
    const std::string wlr = "the Wayland compositor does not offer the protocol";
    const std::string gnome(kGnomeWaylandFocus);
    const std::string noKWin = "KDE Plasma on Wayland: KWin is not on the session bus";
    struct Case {
        const char* pszDesktop;
        WaylandFocusFailure failure;
        std::string reason;
    };
    const Case cases[] = {
        {"GNOME", {{}, wlr, "", false, ""}, gnome},
        {"GNOME", {{}, "", "", false, "GNOME: turn it on"}, "GNOME: turn it on"},
        {"GNOME",
         {{}, wlr, "", false, "GNOME Shell is not on the session bus"},
         "GNOME on Wayland: GNOME Shell is not on the session bus"},
        {"ubuntu:GNOME", {{"wl_compositor"}, wlr, "", false, ""}, gnome},
        {"gnome-classic:gnome", {{}, wlr, "", false, ""}, gnome},
        {"",
         {{"wl_compositor", "gtk_shell1"}, wlr, "", false, ""},
         gnome}, // mutter, told by globals
        {"KDE", {{}, wlr, "KWin is not on the session bus", false, ""}, noKWin},
        {"KDE", {{}, wlr, "", false, ""}, noKWin},
        {"", {{"org_kde_kwin_idle"}, wlr, "KWin is not on the session bus", false, ""}, noKWin},
        {"", {{"org_kde_plasma_shell"}, wlr, "KWin is not on the session bus", false, ""}, noKWin},
        {"",
         {{}, wlr, "KWin refused the focus script", true, ""},
         "KDE Plasma on Wayland: KWin refused the focus script"},
        {"GNOMEish", {{"wl_compositor"}, wlr, "KWin is not on the session bus", false, ""}, wlr},
        {"weston", {{"wl_compositor", "xdg_wm_base"}, wlr, "no session bus", false, ""}, wlr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WhyNoWaylandFocus(c.pszDesktop, c.failure), c.reason) << c.pszDesktop;
    }
}

FocusedWindow Window(std::string id, std::vector<std::string> classes, std::string title,
                     int32_t nPid = 0, std::string program = "") {
    FocusedWindow w;
    w.bPresent = true;
    w.strId = std::move(id);
    w.classes = std::move(classes);
    w.strTitle = std::move(title);
    w.nPid = nPid;
    w.strProgram = std::move(program);
    return w;
}

TEST(FocusPlan, XWaylandWindowsTakeTheirFactsFromX11) {
    const FocusedWindow game = Window("toplevel 3", {"steam_app_1"}, "Racing");
    const FocusedWindow xGame =
        Window("0x200001", {"racing.exe", "steam_app_1"}, "Racing", 42, "Racing.exe");
    const FocusedWindow terminal = Window("toplevel 4", {"foot"}, "~");
    const FocusedWindow untitledClass = Window("toplevel 5", {}, "Racing");
    FocusedWindow merged = xGame;
    merged.strId = "toplevel 3 = X window 0x200001";
    FocusedWindow mergedByTitle = merged;
    mergedByTitle.strId = "toplevel 5 = X window 0x200001";
    struct Case {
        const char* pszName;
        FocusedWindow wayland;
        FocusedWindow x11;
        FocusedWindow expected;
    };
    const Case cases[] = {
        {"the X window is the active one", game, xGame, merged},
        {"class without regard to case", Window("toplevel 3", {"STEAM_APP_1"}, "Racing"), xGame,
         merged},
        {"a Wayland window while X still names its last", terminal, xGame, terminal},
        {"no X window active", game, FocusedWindow{}, game},
        {"no window at all", FocusedWindow{}, xGame, FocusedWindow{}},
        {"no app_id: the title tells", untitledClass, xGame, mergedByTitle},
        {"no app_id, another title", Window("toplevel 5", {}, "Other"), xGame,
         Window("toplevel 5", {}, "Other")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MergeXWaylandFocus(c.wayland, c.x11), c.expected) << c.pszName;
    }
}

} // namespace
} // namespace vext
