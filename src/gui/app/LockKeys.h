#pragma once

// The keyboard's lock states for the status bar, from the X server's keyboard extension, which
// tells when an indicator changes (nothing is asked while nothing changes). Where there is none
// (another platform, no X server) the states are unknown.

#include <QObject>

class QSocketNotifier;

namespace vext {

struct LockKeyState {
    bool bKnown = false;
    bool bCaps = false;
    bool bNum = false;
    bool bScroll = false;

    bool operator==(const LockKeyState&) const = default;
};

class LockKeyWatch : public QObject {
    Q_OBJECT

public:
    explicit LockKeyWatch(QObject* pParent = nullptr);
    ~LockKeyWatch() override;

    const LockKeyState& State() const { return m_state; }

Q_SIGNALS:
    void changed();

private:
    struct Connection;
    void OnEvents();

    Connection* m_pConnection = nullptr;
    QSocketNotifier* m_pNotifier = nullptr;
    LockKeyState m_state;
};

} // namespace vext
