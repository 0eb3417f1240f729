#pragma once

// One interactive VextKey per user. The first instance listens on a per-user local socket; a
// later start connects, asks it to come forward (handing over a file to open, if any) and ends.
// A later start with -ld or -ul hands that request over instead: the running instance carries it
// out and answers with the result, so the later start's exit code tells the truth.
//
// The socket lives in the user's private runtime folder and both ends check that the other
// runs as the same user: another user can neither take the requests nor answer them.

#include <functional>
#include <optional>
#include <sys/types.h>

#include <QObject>
#include <QString>

class QLocalServer;

namespace vext {

class InstanceGuard : public QObject {
    Q_OBJECT

public:
    explicit InstanceGuard(QObject* pParent = nullptr);
    ~InstanceGuard() override;

    // The socket: vextkey-<uid>.instance in the private runtime folder ($XDG_RUNTIME_DIR/vext,
    // else /tmp/vext-<uid>).
    static QString ServerName();
    // The user whose instance is believed; this process's own unless a test says otherwise.
    static void SetTrustedUid(uid_t nUid);
    // Asks a running instance to come forward and open strFile (empty: open nothing). True when
    // an instance took the request.
    static bool NotifyRunningInstance(const QString& strFile);

    // What a command-line mode handed over to the running instance came to.
    struct ModeResult {
        int nExitCode = 0;
        QString strError; // one line; empty on success
    };
    enum class Mode { Load, Unload };
    // Hands -ld strFile (an absolute path) or -ul to a running instance and waits up to
    // nAnswerMs for its result. Nothing when no instance runs: the caller runs the mode itself.
    static std::optional<ModeResult> ForwardMode(Mode mode, const QString& strFile,
                                                 int nAnswerMs = 10000);
    // Carries out a handed-over mode in the running instance.
    std::function<ModeResult(Mode mode, const QString& strFile)> m_fnRunMode;

    // Becomes the running instance. False when another instance already is one (ListenError()
    // is then empty) or when it cannot listen (ListenError() says why).
    bool Listen();
    bool IsListening() const;
    const QString& ListenError() const { return m_strListenError; }

Q_SIGNALS:
    void activationRequested(const QString& strFile);

private:
    void OnNewConnection();
    QByteArray Answer(const QByteArray& line);

    QLocalServer* m_pServer;
    QString m_strListenError;
};

} // namespace vext
