#include "app/InstanceGuard.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

namespace vext {

namespace {

constexpr int kTimeoutMs = 2000;
// A request is one line: "OPEN\t<path>" or "RAISE". Nothing longer is a request of ours.
constexpr qint64 kMaxRequest = 8192;
const QByteArray kOpen = "OPEN\t";
const QByteArray kRaise = "RAISE";
const QByteArray kAnswer = "OK\n";

} // namespace

InstanceGuard::InstanceGuard(QObject* pParent)
    : QObject(pParent), m_pServer(new QLocalServer(this)) {
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_pServer, &QLocalServer::newConnection, this, &InstanceGuard::OnNewConnection);
}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::ServerName() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists()) {
        return QDir(QString::fromLocal8Bit(runtime)).filePath(QStringLiteral("vextkey-instance"));
    }
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("vextkey-%1.instance").arg(static_cast<qulonglong>(getuid())));
}

bool InstanceGuard::NotifyRunningInstance(const QString& strFile) {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(kTimeoutMs)) {
        return false;
    }
    QByteArray request = strFile.isEmpty() ? kRaise : kOpen + strFile.toUtf8();
    request.replace('\n', ' ');
    socket.write(request + '\n');
    if (!socket.waitForBytesWritten(kTimeoutMs)) {
        return false;
    }
    // The answer says the request arrived: an instance that is just going away does not count.
    while (socket.bytesAvailable() < kAnswer.size()) {
        if (!socket.waitForReadyRead(kTimeoutMs)) {
            return false;
        }
    }
    return socket.read(kAnswer.size()) == kAnswer;
}

bool InstanceGuard::Listen() {
    if (m_pServer->isListening()) {
        return true;
    }
    // Listening replaces whatever sits at the path, so ask first: a live instance answers, a
    // socket left behind by a crash does not.
    const QString strName = ServerName();
    QLocalSocket probe;
    probe.connectToServer(strName);
    if (probe.waitForConnected(kTimeoutMs)) {
        return false;
    }
    QLocalServer::removeServer(strName);
    return m_pServer->listen(strName);
}

bool InstanceGuard::IsListening() const {
    return m_pServer->isListening();
}

void InstanceGuard::OnNewConnection() {
    while (QLocalSocket* pSocket = m_pServer->nextPendingConnection()) {
        connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
        QPointer<QLocalSocket> guard(pSocket);
        connect(pSocket, &QLocalSocket::readyRead, this, [this, guard] {
            if (!guard) {
                return;
            }
            if (!guard->canReadLine()) {
                if (guard->bytesAvailable() > kMaxRequest) {
                    guard->abort();
                }
                return;
            }
            QByteArray line = guard->readLine(kMaxRequest).trimmed();
            guard->write(kAnswer);
            guard->flush();
            guard->disconnectFromServer();
            if (line.startsWith(kOpen)) {
                Q_EMIT activationRequested(QString::fromUtf8(line.mid(kOpen.size())));
            } else if (line == kRaise) {
                Q_EMIT activationRequested(QString());
            }
        });
    }
}

} // namespace vext
