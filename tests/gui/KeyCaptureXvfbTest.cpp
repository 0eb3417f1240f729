// Keys typed by xdotool into a real X window come out as the keystroke text the same keys give
// through synthesised events. Runs under Xvfb and fails where there is no X display or xdotool.

#include "core/keys/KeyEventToText.h"
#include "gui/keys/KeyCaptureEdit.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

class KeyCaptureXvfbTest : public QObject {
    Q_OBJECT

private:
    static bool Xdotool(const QStringList& args) {
        QProcess process;
        process.start(QStringLiteral("xdotool"), args);
        return process.waitForFinished(10000) && process.exitCode() == 0;
    }

private Q_SLOTS:
    void initTestCase() {
        // tools/deps.sh installs both; a run without them must not pass for a run with them.
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QFAIL("needs an X display (run under xvfb-run)");
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QFAIL("xdotool is not installed: run tools/deps.sh");
    }

    void typedKeysBecomeKeystrokeText() {
        vext::ResetCaptureFlags();
        QWidget window;
        window.setWindowTitle(QStringLiteral("Keystroke capture"));
        auto* pLayout = new QVBoxLayout(&window);
        auto* pField = new CKeyCaptureEdit(&window);
        pLayout->addWidget(pField);
        window.resize(320, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString wid = QString::number(window.winId());
        QVERIFY(Xdotool({QStringLiteral("windowfocus"), wid}));
        window.activateWindow();
        pField->setFocus();
        QTRY_VERIFY(pField->hasFocus());

        // Modifiers go down and up around the key, as a person types them (xdotool's own
        // "shift+a" lets go of Shift before the key).
        const QStringList keys =
            QStringLiteral("keydown Shift_L key a keyup Shift_L key Return "
                           "keydown Control_L key Return keyup Control_L key 7 key F5 "
                           "keydown Shift_L key b keyup Shift_L key Tab key Escape "
                           "key Control_L")
                .split(QLatin1Char(' '));
        QVERIFY(Xdotool(keys));
        const QString expected =
            QStringLiteral("{LShift+A}{Return}{Ctrl+Return}7{F5}{LShift+B}{Tab}{Esc}{Ctrl}");
        QTRY_COMPARE_WITH_TIMEOUT(pField->toPlainText(), expected, 10000);
        QVERIFY(window.isVisible());
        if (!qEnvironmentVariableIsEmpty("VEXT_SCREENSHOT")) {
            window.repaint();
            QCoreApplication::processEvents();
            QProcess::execute(QStringLiteral("import"),
                              {QStringLiteral("-window"), QStringLiteral("root"),
                               qEnvironmentVariable("VEXT_SCREENSHOT")});
        }
    }
};

QTEST_MAIN(KeyCaptureXvfbTest)
#include "KeyCaptureXvfbTest.moc"
