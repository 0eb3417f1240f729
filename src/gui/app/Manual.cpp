#include "app/Manual.h"

#include "framework/CmdIds.h"
#include "framework/Prompts.h"
#include "framework/Resources.h"
#include "framework/ShellStrings.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#ifndef VEXT_INSTALL_DATADIR
#define VEXT_INSTALL_DATADIR "/usr/local/share/vextkey"
#endif

namespace vext {

namespace {

const char kContents[] = "index.html";

} // namespace

QString FindDataFile(const QString& strAppDir, const QString& strRelative) {
    const QDir appDir(strAppDir);
    const QString candidates[] = {
        appDir.filePath(strRelative),
        appDir.filePath(QStringLiteral("../share/vextkey/") + strRelative),
        QDir(QStringLiteral(VEXT_INSTALL_DATADIR)).filePath(strRelative),
    };
    for (const QString& strPath : candidates) {
        if (QFileInfo::exists(strPath)) {
            return QDir::cleanPath(strPath);
        }
    }
    return {};
}

QString InstalledManualDir() {
    return QDir(QStringLiteral(VEXT_INSTALL_DATADIR)).filePath(QStringLiteral("manual"));
}

QString HelpTopicPage(int nMenuResource) {
    switch (nMenuResource) {
    case IDR_VEXTKEYTYPE:
        return QStringLiteral("functions.html");
    case IDR_PADTYPE:
        return QStringLiteral("pads.html");
    case IDR_VIEWERTYPE:
        return QStringLiteral("keystrokes.html#viewer");
    default:
        return QLatin1String(kContents);
    }
}

bool OpenManualPage(const QString& strManualDir, const QString& strPage) {
    const QDir dir(strManualDir);
    if (strManualDir.isEmpty() || !QFileInfo::exists(dir.filePath(QLatin1String(kContents)))) {
        AfxMessageBox(FormatResString(IDS_MANUAL_MISSING, InstalledManualDir()), MsgButtons::Ok,
                      MsgIcon::Information);
        return false;
    }
    const QString strFile = strPage.section('#', 0, 0);
    const QString strAnchor = strPage.section('#', 1);
    QUrl url;
    if (!strFile.isEmpty() && QFileInfo::exists(dir.filePath(strFile))) {
        url = QUrl::fromLocalFile(QFileInfo(dir.filePath(strFile)).absoluteFilePath());
        if (!strAnchor.isEmpty()) {
            url.setFragment(strAnchor);
        }
    } else {
        url = QUrl::fromLocalFile(
            QFileInfo(dir.filePath(QLatin1String(kContents))).absoluteFilePath());
    }
    if (!QDesktopServices::openUrl(url)) {
        AfxMessageBox(FormatResString(IDS_NO_BROWSER, url.toString()), MsgButtons::Ok,
                      MsgIcon::Warning);
        return false;
    }
    return true;
}

} // namespace vext
