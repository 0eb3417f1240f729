#include "gui/framework/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace vext {

namespace {

const char kSection[] = "Recent File List";
constexpr int kMaxMenuPath = 40;

} // namespace

void CRecentFileList::Add(const QString& strPath) {
    if (strPath.isEmpty() || m_nSize <= 0) {
        return;
    }
    const QString strFull = QFileInfo(strPath).absoluteFilePath();
    m_files.removeAll(strFull);
    m_files.prepend(strFull);
    while (m_files.size() > m_nSize) {
        m_files.removeLast();
    }
}

void CRecentFileList::Remove(int nIndex) {
    if (nIndex >= 0 && nIndex < m_files.size()) {
        m_files.removeAt(nIndex);
    }
}

QString CRecentFileList::MenuText(int nIndex) const {
    if (nIndex < 0 || nIndex >= m_files.size()) {
        return {};
    }
    QString strName = QDir::toNativeSeparators(m_files[nIndex]);
    const QString strHome = QDir::homePath();
    if (strName.startsWith(strHome + '/')) {
        strName = "~" + strName.mid(strHome.size());
    }
    if (strName.size() > kMaxMenuPath) {
        const QString strFile = QFileInfo(m_files[nIndex]).fileName();
        strName = QStringLiteral(".../") + strFile;
    }
    strName.replace('&', QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(nIndex + 1).arg(strName);
}

void CRecentFileList::ReadList(QSettings& settings) {
    m_files.clear();
    settings.beginGroup(kSection);
    for (int i = 1; i <= m_nSize; ++i) {
        const QString strPath = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!strPath.isEmpty()) {
            m_files << strPath;
        }
    }
    settings.endGroup();
}

void CRecentFileList::WriteList(QSettings& settings) const {
    settings.beginGroup(kSection);
    for (int i = 1; i <= m_nSize; ++i) {
        const QString strKey = QStringLiteral("File%1").arg(i);
        if (i <= m_files.size()) {
            settings.setValue(strKey, m_files[i - 1]);
        } else {
            settings.remove(strKey);
        }
    }
    settings.endGroup();
}

} // namespace vext
