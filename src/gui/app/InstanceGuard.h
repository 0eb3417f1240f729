#pragma once

// One interactive VextKey per user. The first instance listens on a per-user local socket; a
// later start connects, asks it to come forward (handing over a file to open, if any) and ends.

#include <QObject>
#include <QString>

class QLocalServer;

namespace vext {

class InstanceGuard : public QObject {
    Q_OBJECT

public:
    explicit InstanceGuard(QObject* pParent = nullptr);
    ~InstanceGuard() override;

    // The socket: $XDG_RUNTIME_DIR/vextkey-instance, else vextkey-<uid>.instance in the
    // temporary folder.
    static QString ServerName();
    // Asks a running instance to come forward and open strFile (empty: open nothing). True when
    // an instance took the request.
    static bool NotifyRunningInstance(const QString& strFile);

    // Becomes the running instance. False when another instance already is one.
    bool Listen();
    bool IsListening() const;

Q_SIGNALS:
    void activationRequested(const QString& strFile);

private:
    void OnNewConnection();

    QLocalServer* m_pServer;
};

} // namespace vext
