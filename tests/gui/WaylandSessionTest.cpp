// VextKey as a native Wayland client under headless compositors that the test starts itself
// (tests/support/WaylandSession.h): under sway the program's window maps and hands over without
// X, and keystroke capture driven by wtype (a virtual keyboard) gives the texts the same keys give
// on X11; under weston the window maps as in a GNOME session. ctest runs "WaylandSessionTest sway"
// or "... weston"; that run starts the compositor and runs the tests inside it.

#include "WaylandSession.h"

#include "GuiTestSupport.h"
#include "core/keys/KeyEventToText.h"
#include "core/model/KeyFunction.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/dialogs/FuncPropSheet.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/keys/KeyCaptureEdit.h"
#include "gui/views/KeyStrokeView.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace vext;

namespace {

const char kInside[] = "VEXT_WAYLAND_COMPOSITOR";

bool IsSway() {
    return qEnvironmentVariable(kInside) == QLatin1String("sway");
}

QByteArray RunTool(const QString& strTool, const QStringList& args) {
    QProcess process;
    process.start(QStandardPaths::findExecutable(strTool), args);
    return process.waitForFinished(10000) && process.exitCode() == 0
               ? process.readAllStandardOutput()
               : QByteArray();
}

bool SwayNodeShows(const QJsonObject& node, const QString& strTitle) {
    if (node.value("app_id").toString() == QLatin1String("vextkey") &&
        node.value("name").toString() == strTitle && node.value("visible").toBool()) {
        return true;
    }
    for (const char* pszList : {"nodes", "floating_nodes"}) {
        for (const QJsonValue& child : node.value(QLatin1String(pszList)).toArray()) {
            if (SwayNodeShows(child.toObject(), strTitle)) {
                return true;
            }
        }
    }
    return false;
}

// The compositor's own account: a mapped top-level window of vextkey with this title.
bool WindowShows(const QString& strTitle) {
    if (IsSway()) {
        const QJsonDocument tree =
            QJsonDocument::fromJson(RunTool("swaymsg", {"-t", "get_tree", "-r"}));
        return SwayNodeShows(tree.object(), strTitle);
    }
    return RunTool("weston-debug", {"scene-graph"})
        .contains(("top-level window '" + strTitle + "' of vextkey").toUtf8());
}

// Types through wtype's virtual keyboard, which brings its own key numbers and layout.
bool Type(const QStringList& args) {
    QProcess wtype;
    wtype.start(QStandardPaths::findExecutable("wtype"), args);
    return wtype.waitForFinished(10000) && wtype.exitCode() == 0;
}

QString WriteKeySet(const QString& strName) {
    return test::WriteFile(test::TheGuiTestEnv().FilePath(strName + ".vks"),
                           "[File_Information]\nfile_version=VextKey Key Set File Version 2.0\n"
                           "cookie=1\nnum_mappings=1\nnum_pads=4\nnum_functions=1\n"
                           "[Button_Mappings]\nMapping_0000=01000101 1\n"
                           "[Func_0000]\nDescription=Jump\nMode=0\nCookie=1\nString_Count=2\n"
                           "String_0000={Space}\nString_0001=\n");
}

} // namespace

class WaylandSessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QCOMPARE(QGuiApplication::platformName(), QString("wayland"));
        test::GuiTestEnv::ClearSettings();
        AppSettings()->setValue("Tip/StartUp", 0);
    }

    void programMapsItsWindowWithoutX() {
        const QString strProgram = QStringLiteral(VEXTKEY_EXE);
        QVERIFY(!qEnvironmentVariableIsSet("DISPLAY"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        if (!IsSway()) {
            // As a GNOME session starts it: Qt chooses Wayland itself (there is no X here).
            env.insert("XDG_CURRENT_DESKTOP", "GNOME");
        }
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(strProgram, {WriteKeySet("Small")});
        QTRY_VERIFY_WITH_TIMEOUT(WindowShows("VextKey - Small"), 20000);
        QCOMPARE(first.state(), QProcess::Running);
        if (IsSway()) {
            // Hand-over and the command-line modes go through the per-user socket alone.
            const auto run = [&env, &strProgram](const QStringList& args) {
                QProcess later;
                later.setProcessEnvironment(env);
                later.start(strProgram, args);
                return later.waitForFinished(20000) ? later.exitCode() : -1;
            };
            QCOMPARE(run({WriteKeySet("Other")}), 0);
            QTRY_VERIFY_WITH_TIMEOUT(WindowShows("VextKey - Other"), 20000);
            QCOMPARE(run({"-ul"}), 0);
            QCOMPARE(run({"--status"}), 3);
        }
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
    }

    void captureGivesTheTextsOfTheSameKeysOnX11() {
        auto pApp = test::StartApp({WriteKeySet("Jump")});
        QVERIFY(pApp);
        CMainFrame* pMain = pApp->MainFrame();
        QVERIFY(QTest::qWaitForWindowExposed(pMain, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(WindowShows(pMain->windowTitle()), 20000);
        // The session's lasting virtual keyboard is there: typing never adds the seat's first.
        QTRY_VERIFY_WITH_TIMEOUT(RunTool("swaymsg", {"-t", "get_inputs"}).contains("keyboard"),
                                 20000);
        {
            CKeyFunction function;
            CFuncPropSheet sheet(pMain);
            sheet.LoadFrom(function);
            sheet.show();
            sheet.TabWidget()->setCurrentWidget(&sheet.m_pageStroke);
            CKeyCaptureEdit* pPress = sheet.m_pageStroke.m_editPress;
            QTRY_VERIFY_WITH_TIMEOUT(WindowShows(sheet.windowTitle()), 20000);
            pPress->setFocus();
            QTRY_VERIFY_WITH_TIMEOUT(sheet.isActiveWindow() && pPress->hasFocus(), 20000);
            vext::ResetCaptureFlags();
            // Modifiers go down as a key and as a modifier state, as a real keyboard's do (wtype's
            // own keymap has no modifier map).
            QVERIFY(Type({"-M", "shift",  "-P", "Shift_L",   "-k", "a",     "-p", "Shift_L",
                          "-m", "shift",  "-k", "7",         "-M", "shift", "-P", "Shift_R",
                          "-k", "b",      "-p", "Shift_R",   "-m", "shift", "-k", "F5",
                          "-k", "KP_1",   "-k", "KP_Add",    "-M", "ctrl",  "-P", "Control_L",
                          "-k", "Return", "-p", "Control_L", "-m", "ctrl",  "-M", "alt",
                          "-P", "Alt_L",  "-k", "x",         "-p", "Alt_L", "-m", "alt",
                          "-k", "minus",  "-k", "slash",     "-k", "Escape"}));
            // What X11 gives for the same keys; Escape is captured, not acted on.
            QTRY_COMPARE_WITH_TIMEOUT(
                pPress->toPlainText(),
                QString("{LShift+A}7{RShift+B}{F5}{Num-1}{Num+}{Ctrl+Return}{Alt+X}-/{Esc}"),
                10000);
            QVERIFY(sheet.isVisible());
            sheet.close();
        }

        // The Keystroke Viewer: one keystroke a line.
        pMain->OnKeystrokeViewer();
        QVERIFY(pApp->ViewerFrame());
        CKeyCaptureEdit* pViewer = pApp->ViewerFrame()->findChild<CKeyStrokeView*>()->Field();
        QTRY_VERIFY_WITH_TIMEOUT(pMain->isActiveWindow(), 20000);
        pViewer->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(pViewer->hasFocus(), 20000);
        QVERIFY(Type({"-k", "q", "-M", "ctrl", "-P", "Control_R", "-k", "Home", "-p", "Control_R",
                      "-m", "ctrl"}));
        QTRY_COMPARE_WITH_TIMEOUT(pViewer->toPlainText(), QString("Q\n{Ctrl+Home}\n"), 10000);
        // One wtype a key: each brings a keymap of its own, which must not be mixed up with the
        // one before or after; Shift held as modifier state alone counts as on X11.
        QString strExpected = pViewer->toPlainText();
        for (const char* pszKey : {"q", "w", "e", "r", "t", "y", "a", "s", "d", "Return", "z"}) {
            QVERIFY(Type({"-k", pszKey}));
            strExpected += QString::fromLatin1(pszKey).toUpper() + "\n";
        }
        strExpected.replace("RETURN", "{Return}");
        QVERIFY(Type({"-M", "shift", "-k", "f", "-m", "shift"}));
        QVERIFY(Type({"-M", "shift", "-k", "F5", "-m", "shift"}));
        strExpected += "{LShift+F}\n{LShift+F5}\n";
        QTRY_COMPARE_WITH_TIMEOUT(pViewer->toPlainText(), strExpected, 10000);
        test::StopApp(pApp);
    }
};

namespace {

// The run ctest starts: the compositor, then this program again inside it, as its user.
int RunInsideCompositor(int argc, char** argv) {
    const std::string which = argc > 1 ? argv[1] : "";
    if (which != "sway" && which != "weston") {
        std::fprintf(stderr, "usage: %s sway|weston [test functions]\n", argv[0]);
        return 2;
    }
    test::WaylandSession session;
    std::string error;
    if (!session.Start(which == "sway" ? test::WaylandSession::Compositor::kSway
                                       : test::WaylandSession::Compositor::kWeston,
                       &error)) {
        std::fprintf(stderr, "FAIL: %s\n", error.c_str());
        return 1;
    }
    std::vector<std::string> args{std::filesystem::read_symlink("/proc/self/exe").string()};
    // weston has no virtual keyboard: there the window is all.
    if (which == "weston") {
        args.push_back("programMapsItsWindowWithoutX");
    }
    args.insert(args.end(), argv + 2, argv + argc);
    // Qt unloads the wayland plugins at exit: the leak suppressions find them in full stacks only.
    const char* pszAsan = std::getenv("ASAN_OPTIONS");
    const int nExit = test::WaylandSession::Wait(
        session.Spawn(
            args,
            {std::string(kInside) + "=" + which, "QT_QPA_PLATFORM=wayland",
             std::string("ASAN_OPTIONS=") + (pszAsan ? pszAsan : "") + ":fast_unwind_on_malloc=0"},
            true),
        240000);
    if (nExit != 0) {
        std::fprintf(stderr,
                     "FAIL: the tests inside %s ended with %d (126, 127: the session's user cannot "
                     "run this build); the session's log:\n%s\n",
                     which.c_str(), nExit, session.Log().c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet(kInside)) {
        return RunInsideCompositor(argc, argv);
    }
    test::TheGuiTestEnv();
    QApplication app(argc, argv);
    // The compositor knows the program's windows by this app_id.
    QGuiApplication::setDesktopFileName(QStringLiteral("vextkey"));
    WaylandSessionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WaylandSessionTest.moc"
