#pragma once

// What every GUI test program shares: a private folder for settings, the instance socket, the
// driver socket and the record store, set up before the application object exists.

#include <QString>
#include <QTemporaryDir>

#include <memory>

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

} // namespace vext::test

// Like QTEST_MAIN, with the private folders in place before QApplication starts.
#define VEXT_GUI_TEST_MAIN(TestClass)                                                             \
    int main(int argc, char** argv) {                                                             \
        vext::test::TheGuiTestEnv();                                                              \
        QApplication app(argc, argv);                                                             \
        TestClass test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                   \
    }
