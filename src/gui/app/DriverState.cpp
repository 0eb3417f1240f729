#include "gui/app/DriverState.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/DriverOutput.h"
#include "core/registry/RegistryStore.h"
#include "gui/app/DriverRecord.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QStringList>
#include <QTimer>

namespace vext {
namespace {

constexpr int kInactiveRefreshMs = 2000;
// Past the back-off after a timeout (three seconds), so that the second look really asks.
constexpr int kRecheckMs = 3500;
constexpr int kSoonMs = 50;

// The driver's facts; the record's are read again only with bRecord (they change on disk, where
// they are watched) and kept from before otherwise.
DriverState::Facts ReadFacts(const DriverState::Facts& before, bool bRecord) {
    DriverState::Facts facts;
    facts.bAnswers = GetDriverVersion() != 0;
    if (facts.bAnswers) {
        int32_t nEnabled = 0;
        uint32_t nSize = sizeof nEnabled;
        facts.bEmulates = DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nEnabled, &nSize) != 0 &&
                          nSize == sizeof nEnabled && nEnabled != 0;
        // A driver that does not tell its output is taken at its word.
        DriverOutputInfo output;
        facts.bX11Only = QueryDriverOutput(&output) && ReachesX11WindowsOnly(output);
        if (PlayStatus play; QueryPlayStatus(&play)) {
            facts.play = std::move(play);
        }
    }
    if (!bRecord) {
        facts.recordName = before.recordName;
        facts.bRecordRemovable = before.bRecordRemovable;
        return facts;
    }
    DriverRecordFacts record = ReadDriverRecordFacts();
    facts.recordName = std::move(record.name);
    facts.bRecordRemovable = record.bRemovable;
    return facts;
}

// The folder of path and the nearest folder above it that exists, to see it appear.
QStringList FoldersToWatch(const QString& strPath) {
    QStringList folders;
    QString strFolder = QFileInfo(strPath).absolutePath();
    folders.append(strFolder);
    while (!QFileInfo(strFolder).isDir() && strFolder != QDir::rootPath()) {
        strFolder = QFileInfo(strFolder).absolutePath();
        folders.append(strFolder);
    }
    return folders;
}

} // namespace

DriverState::DriverState(QObject* pParent)
    : QObject(pParent), m_pWatcher(new QFileSystemWatcher(this)),
      m_pInactiveTimer(new QTimer(this)), m_pRecheckTimer(new QTimer(this)),
      m_pSoon(new QTimer(this)) {
    m_pInactiveTimer->setInterval(kInactiveRefreshMs);
    m_pRecheckTimer->setSingleShot(true);
    m_pRecheckTimer->setInterval(kRecheckMs);
    m_pSoon->setSingleShot(true);
    m_pSoon->setInterval(kSoonMs);
    connect(m_pSoon, &QTimer::timeout, this, &DriverState::Refresh);
    connect(m_pRecheckTimer, &QTimer::timeout, this, [this] {
        Watch();
        Read(true, true);
    });
    // Another program's focus changes what the driver plays, not the record on disk.
    connect(m_pInactiveTimer, &QTimer::timeout, this, [this] { Read(false); });
    const auto soon = [this] { m_pSoon->start(); };
    connect(m_pWatcher, &QFileSystemWatcher::directoryChanged, this, soon);
    connect(m_pWatcher, &QFileSystemWatcher::fileChanged, this, soon);
    Watch();
    m_facts = ReadFacts(m_facts, true);
}

DriverState::~DriverState() = default;

void DriverState::Watch() {
    const QString strSocket = QString::fromStdString(DeviceSocketPath());
    const QString strStore = QString::fromStdString(RegistryStore::DefaultPath());
    QStringList paths = FoldersToWatch(strSocket) + FoldersToWatch(strStore);
    // A commit writes the store's log and a checkpoint the store: neither changes the folder.
    for (const QString& strFile : {strStore, strStore + QStringLiteral("-wal")}) {
        paths.append(strFile);
    }
    QStringList wanted;
    for (const QString& strPath : paths) {
        if (QFileInfo::exists(strPath) && !wanted.contains(strPath)) {
            wanted.append(strPath);
        }
    }
    const QStringList watched = m_pWatcher->files() + m_pWatcher->directories();
    QStringList gone;
    for (const QString& strPath : watched) {
        if (!wanted.contains(strPath)) {
            gone.append(strPath);
        }
    }
    if (!gone.isEmpty()) {
        m_pWatcher->removePaths(gone);
    }
    QStringList added;
    for (const QString& strPath : wanted) {
        if (!watched.contains(strPath)) {
            added.append(strPath);
        }
    }
    if (!added.isEmpty()) {
        m_pWatcher->addPaths(added);
    }
}

void DriverState::Refresh() {
    // Files and folders come and go with the driver and the store: follow them first.
    Watch();
    Read(true);
}

void DriverState::Read(bool bRecord, bool bSecondLook) {
    Facts facts = ReadFacts(m_facts, bRecord);
    const bool bSocketThere = QFileInfo::exists(QString::fromStdString(DeviceSocketPath()));
    if (facts.bAnswers || !bSocketThere) {
        m_pRecheckTimer->stop();
        m_bHolding = false;
    } else {
        // Its socket is there but it did not answer: perhaps only slow (loading a large key set,
        // or while this window was busy), and after a timeout nobody asks it for a while. It is
        // looked at again, and again, until it answers or its socket goes; one that answered a
        // moment ago is taken as there until that second look, whatever reads meanwhile.
        if (bSecondLook) {
            m_bHolding = false;
        } else if (!m_pRecheckTimer->isActive()) {
            m_bHolding = m_facts.bAnswers;
        }
        if (!m_pRecheckTimer->isActive()) {
            m_pRecheckTimer->start();
        }
        if (m_bHolding) {
            facts.bAnswers = true;
            facts.bEmulates = m_facts.bEmulates;
            facts.bX11Only = m_facts.bX11Only;
            facts.play = m_facts.play;
        }
    }
    if (facts != m_facts) {
        m_facts = std::move(facts);
        Q_EMIT changed();
    }
}

void DriverState::SetActive(bool bActive) {
    if (bActive) {
        m_pInactiveTimer->stop();
        Refresh();
    } else {
        m_pInactiveTimer->start();
    }
}

} // namespace vext
