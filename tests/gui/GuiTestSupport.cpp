#include "GuiTestSupport.h"

#include "gui/app/VextKeyApp.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/WinApp.h"

#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QSettings>

namespace vext::test {

GuiTestEnv::GuiTestEnv() {
    const QString strBase = m_dir.path();
    QDir(strBase).mkpath(QStringLiteral("config"));
    QDir(strBase).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(strBase + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setenv("XDG_CONFIG_HOME", QFile::encodeName(strBase + QStringLiteral("/config")).constData(),
           1);
    setenv("XDG_RUNTIME_DIR", QFile::encodeName(strBase + QStringLiteral("/runtime")).constData(),
           1);
    setenv("VEXT_DEVICE",
           QFile::encodeName(strBase + QStringLiteral("/runtime/device")).constData(), 1);
    setenv("VEXT_REGISTRY",
           QFile::encodeName(strBase + QStringLiteral("/registry.sqlite")).constData(), 1);
}

void GuiTestEnv::ClearSettings() {
    auto pSettings = AppSettings();
    pSettings->clear();
    pSettings->sync();
}

std::unique_ptr<CVextKeyApp> StartApp(const QStringList& args, bool bOfferTip) {
    auto pApp = std::make_unique<CVextKeyApp>();
    pApp->m_bOfferTip = bOfferTip;
    if (!pApp->InitInstance(args)) {
        pApp.reset();
        Drain();
    }
    return pApp;
}

void StopApp(std::unique_ptr<CVextKeyApp>& pApp) {
    if (pApp) {
        pApp->ExitInstance();
        pApp.reset();
    }
    Drain();
}

void Drain() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    FlushDeletedDocuments();
}

QString WriteFile(const QString& strPath, const QByteArray& bytes) {
    QFile file(strPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
    return strPath;
}

GuiTestEnv& TheGuiTestEnv() {
    static GuiTestEnv env;
    return env;
}

} // namespace vext::test
