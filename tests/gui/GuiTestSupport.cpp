#include "GuiTestSupport.h"

#include "framework/WinApp.h"

#include <QDir>
#include <QSettings>

#include <cstdlib>

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
    setenv("VEXT_DEVICE", QFile::encodeName(strBase + QStringLiteral("/runtime/device")).constData(),
           1);
    setenv("VEXT_REGISTRY",
           QFile::encodeName(strBase + QStringLiteral("/registry.sqlite")).constData(), 1);
}

void GuiTestEnv::ClearSettings() {
    auto pSettings = AppSettings();
    pSettings->clear();
    pSettings->sync();
}

GuiTestEnv& TheGuiTestEnv() {
    static GuiTestEnv env;
    return env;
}

} // namespace vext::test
