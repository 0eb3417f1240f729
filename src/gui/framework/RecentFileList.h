#pragma once

// The most recently used files, newest first, kept under "Recent File List" as File1..FileN.

#include <QString>
#include <QStringList>

class QSettings;

namespace vext {

class CRecentFileList {
public:
    explicit CRecentFileList(int nSize) : m_nSize(nSize) {}

    void Add(const QString& strPath);
    void Remove(int nIndex);
    int GetSize() const { return m_nSize; }
    const QStringList& Files() const { return m_files; }
    // The menu text of entry nIndex: "&1 name", shortened for long paths.
    QString MenuText(int nIndex) const;

    void ReadList(QSettings& settings);
    void WriteList(QSettings& settings) const;

private:
    int m_nSize;
    QStringList m_files;
};

} // namespace vext
