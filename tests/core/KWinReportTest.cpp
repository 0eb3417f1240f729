// What the driver believes of the KWin focus script's calls: only KWin's own, with bounded text,
// and a script that carries nothing but a bus name of the driver's.

#include "core/games/KWinReport.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(KWinReport, OnlyKWinsUniqueNameIsBelieved) {
    struct Case {
        const char* pszSender;
        const char* pszOwner;
        bool bFromKWin;
    };
    const Case cases[] = {
        {":1.5", ":1.5", true},
        {":1.6", ":1.5", false},                 // another program on the session bus
        {":1.5", "", false},                     // KWin has left the bus
        {"", "", false},                         // a message without a sender
        {"org.kde.KWin", "org.kde.KWin", false}, // owners are unique names, never well-known
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsFromKWin(c.pszSender, c.pszOwner), c.bFromKWin)
            << c.pszSender << " / " << c.pszOwner;
    }
}

TEST(KWinReport, ReportsBecomeBoundedWindows) {
    const std::string longClass(300, 'c');
    // "é" is two bytes; the cut falls in the middle of the last one.
    std::string longCaption(kMaxKWinCaption - 1, 't');
    longCaption += "\xC3\xA9 more";
    struct Case {
        std::string klass;
        std::string caption;
        std::string pid;
        std::vector<std::string> classes;
        std::string title;
        int32_t nPid;
    };
    const Case cases[] = {
        {"steam_app_244210", "Racing", "4242", {"steam_app_244210"}, "Racing", 4242},
        {"", "Untitled", "17", {}, "Untitled", 17},
        {"foot", "~", "0", {"foot"}, "~", 0},
        {"foot", "~", "-5", {"foot"}, "~", 0},
        {"foot", "~", "12a", {"foot"}, "~", 0},
        {"foot", "~", "99999999999", {"foot"}, "~", 0},
        {"foot", "~", "2147483648", {"foot"}, "~", 0},
        {"foot", "~", "", {"foot"}, "~", 0},
        {longClass, "x", "1", {std::string(kMaxKWinClass, 'c')}, "x", 1},
        {"a", longCaption, "1", {"a"}, std::string(kMaxKWinCaption - 1, 't'), 1},
    };
    for (const Case& c : cases) {
        const FocusedWindow window = WindowFromKWin(c.klass, c.caption, c.pid);
        EXPECT_TRUE(window.bPresent);
        EXPECT_EQ(window.classes, c.classes) << c.klass;
        EXPECT_EQ(window.strTitle, c.title) << c.caption.size();
        EXPECT_EQ(window.nPid, c.nPid) << c.pid;
        EXPECT_TRUE(window.strProgram.empty());
    }
}

TEST(KWinReport, TheScriptCarriesOnlyAUniqueBusName) {
    const std::string script = KWinFocusScript(":1.42");
    EXPECT_NE(script.find("var bus = \":1.42\";"), std::string::npos);
    EXPECT_NE(script.find("workspace.windowActivated || workspace.clientActivated"),
              std::string::npos);
    EXPECT_EQ(script.find('@'), std::string::npos) << script;
    for (const char* pszName : {"", ":", "org.vextkey", ":1.2\"; evil(); \"", ":1.2\n"}) {
        EXPECT_EQ(KWinFocusScript(pszName), "") << pszName;
    }
}

} // namespace
} // namespace vext
