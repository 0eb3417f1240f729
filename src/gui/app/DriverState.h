#pragma once

// What the window shows of the driver and its record (whether it answers and emulates, where its
// keys go, what it plays, the key set in the record), kept between the moments that change it so
// that the idle update of menus, toolbar and status bar asks nobody. It is read again when the
// driver's socket comes or goes, when the record store changes on disk, when the window comes
// forward and after the window's own commands that change the driver; while another program's
// window is active (where the focus switches game key sets) every two seconds; and soon after a
// driver that did not answer, which may only have been slow while the window was busy.

#include "core/driver/PlayStatus.h"

#include <optional>
#include <string>

#include <QObject>

class QFileSystemWatcher;
class QTimer;

namespace vext {

class DriverState : public QObject {
    Q_OBJECT

public:
    struct Facts {
        bool bAnswers = false;  // a driver of this version answers
        bool bEmulates = false; // as the driver says, whatever the function list holds
        bool bX11Only = false;  // its keys reach X11 windows only (XTest in a Wayland session)
        std::optional<PlayStatus> play;
        std::optional<std::string> recordName; // the record's key set; none without a record
        bool bRecordRemovable = false;         // a record is there and the store takes writes

        bool operator==(const Facts&) const = default;
    };

    explicit DriverState(QObject* pParent = nullptr);
    ~DriverState() override;

    const Facts& Now() const { return m_facts; }

    // Asks the driver and reads the record now; emits changed() when a fact differs.
    void Refresh();
    // Whether a window of this program is active: another program's focus may switch game key
    // sets, so only then is the driver asked on a timer.
    void SetActive(bool bActive);

Q_SIGNALS:
    void changed();

private:
    void Watch();
    // bSecondLook: the recheck after a missed answer, which tells what it finds.
    void Read(bool bRecord, bool bSecondLook = false);

    Facts m_facts;
    QFileSystemWatcher* m_pWatcher;
    QTimer* m_pInactiveTimer;
    QTimer* m_pRecheckTimer;
    bool m_bHolding = false; // the facts from before a missed answer stand until the recheck
    QTimer* m_pSoon;         // coalesces a burst of file changes into one refresh
};

} // namespace vext
