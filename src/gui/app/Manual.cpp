#include "gui/app/Manual.h"

#include "gui/framework/CmdIds.h"
#include "gui/framework/CommandRunner.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"
#include "gui/framework/ShellStrings.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#ifndef VEXT_INSTALL_DATADIR
#define VEXT_INSTALL_DATADIR "/usr/local/share/vextkey"
#endif

namespace vext {

namespace {

const char kContents[] = "index.html";
// Opens a file or URL with the desktop's program for it; its status 3 means it found none.
const char kOpener[] = "xdg-open";
constexpr int kOpenerFoundNoProgram = 3;

// Why xdg-open failed, in the words the message box uses: its last line on stderr says it best.
QString OpenerFailure(int nExitCode, const QString& strError) {
    const QStringList lines = strError.split('\n', Qt::SkipEmptyParts);
    if (nExitCode == kOpenerFoundNoProgram) {
        return ResString(IDS_NO_WEB_VIEWER);
    }
    if (!lines.isEmpty()) {
        return lines.back().trimmed();
    }
    return FormatResString(IDS_OPENER_EXIT_STATUS, QString::number(nExitCode));
}

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
    QString strPath = QFileInfo(dir.filePath(QLatin1String(kContents))).absoluteFilePath();
    QUrl url = QUrl::fromLocalFile(strPath);
    if (!strFile.isEmpty() && QFileInfo::exists(dir.filePath(strFile))) {
        strPath = QFileInfo(dir.filePath(strFile)).absoluteFilePath();
        url = QUrl::fromLocalFile(strPath);
        if (!strAnchor.isEmpty()) {
            url.setFragment(strAnchor);
        }
    }
    // Run here rather than through the toolkit, which reports success as soon as the opener
    // has started: a desktop without a browser would then show nothing at all.
    CommandRunner& runner = TheCommandRunner();
    const QString strOpener = runner.FindProgram(QLatin1String(kOpener));
    if (strOpener.isEmpty()) {
        AfxMessageBox(FormatResString(IDS_NO_BROWSER, strPath), MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    runner.Start(strOpener, {url.toString()}, [strPath](int nExitCode, const QString& strError) {
        if (nExitCode != 0) {
            AfxMessageBox(
                FormatResString(IDS_MANUAL_NOT_SHOWN, OpenerFailure(nExitCode, strError), strPath),
                MsgButtons::Ok, MsgIcon::Warning);
        }
    });
    return true;
}

} // namespace vext
