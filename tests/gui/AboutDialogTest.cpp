// The About box: version texts, the driver's version, memory and disk texts, and the home page
// on a double-click.

#include "gui/app/AboutDialog.h"

#include "FakeDeviceServer.h"
#include "GuiTestSupport.h"
#include "gui/app/VersionInfo.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

class AboutDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void driverVersionText_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("text");
        QTest::newRow("2.03") << 0x203 << "2.03";
        QTest::newRow("lower-case hex") << 0x2A0 << "2.a0";
        QTest::newRow("only bits 8 to 11 before the point") << 0xF05 << "f.05";
        QTest::newRow("absent") << 0 << "Pre 2.0";
    }
    void driverVersionText() {
        QFETCH(int, version);
        QFETCH(QString, text);
        QCOMPARE(CAboutDialog::DriverVersionText(version), text);
    }

    void dialogAsksTheDriver_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("text");
        QTest::newRow("0x203") << 0x203 << true << "2.03";
        QTest::newRow("0x2A0") << 0x2A0 << true << "2.a0";
        QTest::newRow("0x1FF is too old") << 0x1FF << true << "Pre 2.0";
        QTest::newRow("no driver") << 0x203 << false << "Pre 2.0";
    }
    void dialogAsksTheDriver() {
        QFETCH(int, version);
        QFETCH(bool, running);
        QFETCH(QString, text);
        vext::test::FakeDeviceServer driver;
        driver.SetVersion(static_cast<uint32_t>(version));
        if (!running) {
            driver.Stop();
        }
        CAboutDialog dlg;
        QCOMPARE(dlg.m_pDriverVersion->text(), text);
    }

    void programTexts() {
        QLocale::setDefault(QLocale::c());
        CAboutDialog dlg;
        QCOMPARE(dlg.m_pProductName->text(), QString("VextKey"));
        QCOMPARE(dlg.m_pVersion->text(),
                 QString("%1.%2").arg(VEXT_VERSION_MAJOR).arg(VEXT_VERSION_MINOR));
        QVERIFY(dlg.m_pCopyright->text().contains("Zelvan"));
        QVERIFY(QRegularExpression("^[0-9]+ KB$").match(dlg.m_pMemory->text()).hasMatch());
        QVERIFY2(QRegularExpression("^[0-9]+ KB free on /").match(dlg.m_pDisk->text()).hasMatch(),
                 qPrintable(dlg.m_pDisk->text()));
        QCOMPARE(dlg.windowTitle(), QString("About VextKey"));
    }

    void numbersAreGroupedAsTheLocaleDoes() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        CAboutDialog dlg;
        QLocale::setDefault(QLocale::c());
        QVERIFY2(QRegularExpression("^[0-9]{1,3}(\\.[0-9]{3})+ KB$")
                     .match(dlg.m_pMemory->text())
                     .hasMatch(),
                 qPrintable(dlg.m_pMemory->text()));
        QVERIFY2(QRegularExpression("^[0-9]{1,3}(\\.[0-9]{3})* KB free")
                     .match(dlg.m_pDisk->text())
                     .hasMatch(),
                 qPrintable(dlg.m_pDisk->text()));
    }

    void versionTextFlags_data() {
        QTest::addColumn<uint32_t>("flags");
        QTest::addColumn<uint32_t>("mask");
        QTest::addColumn<QString>("text");
        QTest::newRow("release") << 0u << 0x3Fu << "2.1";
        QTest::newRow("pre-release") << 2u << 0x3Fu << "2.1  2.1b  Oct  7 1996  14:55:30";
        QTest::newRow("debug pre-release")
            << 3u << 0x3Fu << "2.1  DEBUG  2.1b  Oct  7 1996  14:55:30";
        QTest::newRow("debug") << 1u << 0x3Fu << "2.1  DEBUG";
        QTest::newRow("masked out") << 3u << 0u << "2.1";
    }
    void versionTextFlags() {
        QFETCH(uint32_t, flags);
        QFETCH(uint32_t, mask);
        QFETCH(QString, text);
        CVersionInfo::Block block;
        block.strProductName = "VextKey";
        block.strProductVersion = "2.1b";
        block.nMajor = 2;
        block.nMinor = 1;
        block.nFileFlags = flags;
        block.nFileFlagsMask = mask;
        const CVersionInfo info(block, "Oct  7 1996", "14:55:30");
        QCOMPARE(info.m_strVersionText, text);
    }

    void buildDateHasTheRuntimeForm() {
        const CVersionInfo info;
        QVERIFY(QRegularExpression("^[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}$")
                    .match(info.m_strBuildDate)
                    .hasMatch());
        QVERIFY(!info.IsPreRelease());
    }

    void doubleClickOpensTheHomePage() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        CAboutDialog dlg;
        QTest::mouseDClick(&dlg, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls[0], QUrl("https://www.zelvan.example/vextkey/"));
    }
};

VEXT_GUI_TEST_MAIN(AboutDialogTest)
#include "AboutDialogTest.moc"
