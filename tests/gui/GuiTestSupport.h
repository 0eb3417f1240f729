#pragma once

// What every GUI test program shares: a private folder for settings, the instance socket, the
// driver socket and the record store, set up before the application object exists.

#include <memory>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class CVextKeyApp;

namespace vext::test {

class GuiTestEnv {
public:
    // Points XDG_CONFIG_HOME, XDG_RUNTIME_DIR, VEXT_DEVICE and VEXT_REGISTRY into a fresh folder.
    GuiTestEnv();
    QString Dir() const { return m_dir.path(); }
    QString FilePath(const QString& strName) const { return m_dir.filePath(strName); }
    // Forgets every setting written so far.
    static void ClearSettings();

private:
    QTemporaryDir m_dir;
};

GuiTestEnv& TheGuiTestEnv();

// An application started as the program starts it, without the Tip of the Day offer unless
// bOfferTip. Null when start-up refused to run.
std::unique_ptr<CVextKeyApp> StartApp(const QStringList& args = {}, bool bOfferTip = false);
// Ends an application as the program does and frees what it left for the event loop.
void StopApp(std::unique_ptr<CVextKeyApp>& pApp);
// Runs posted events, including deferred deletions.
void Drain();
// Writes a text file (UTF-8) and returns its path.
QString WriteFile(const QString& strPath, const QByteArray& bytes);

} // namespace vext::test

// Like QTEST_MAIN, with the private folders in place before QApplication starts.
#define VEXT_GUI_TEST_MAIN(TestClass)                                                              \
    int main(int argc, char** argv) {                                                              \
        vext::test::TheGuiTestEnv();                                                               \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
