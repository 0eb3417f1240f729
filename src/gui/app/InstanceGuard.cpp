#include "gui/app/InstanceGuard.h"

#include "core/driver/DeviceSocket.h"
#include "core/platform/RuntimeDir.h"

#include <algorithm>
#include <string>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

namespace vext {

namespace {

constexpr int kTimeoutMs = 2000;
// A request is one line: "OPEN\t<path>", "RAISE", "ACTIVATE\t<token>", "LOAD\t<path>" or
// "UNLOAD". Nothing longer is a request of ours. OPEN, RAISE and ACTIVATE are answered "OK" at
// once; LOAD and UNLOAD are answered "DONE\t<exit code>\t<error>" once carried out.
constexpr qint64 kMaxRequest = 8192;
const QByteArray kOpen = "OPEN\t";
const QByteArray kRaise = "RAISE";
const QByteArray kLoad = "LOAD\t";
const QByteArray kUnload = "UNLOAD";
// "ACTIVATE\t<token>": the Wayland activation token the launcher gave the later start, sent
// before its OPEN or RAISE. Without it a Wayland compositor lets no window come forward.
const QByteArray kActivate = "ACTIVATE\t";
const char kTokenVariable[] = "XDG_ACTIVATION_TOKEN";
constexpr qsizetype kMaxToken = 1024;
const QByteArray kDone = "DONE\t";
const QByteArray kAnswer = "OK\n";
constexpr int kExitFailed = 1;

// Tokens are opaque, but printable and short; anything else is not passed to the compositor.
bool IsActivationToken(const QByteArray& token) {
    if (token.isEmpty() || token.size() > kMaxToken) {
        return false;
    }
    return std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

QByteArray OneLine(QByteArray text) {
    text.replace('\n', ' ');
    text.replace('\r', ' ');
    return text;
}

uid_t g_nTrustedUid = ::geteuid();

// Connects to the running instance, if one of this user's runs: the folder must be private and
// the peer must be this user, or whatever answers there is not believed.
bool ConnectToInstance(QLocalSocket& socket) {
    std::string why;
    if (!vext::IsPrivateDirectory(vext::PrivateRuntimeDir(), &why)) {
        return false;
    }
    socket.connectToServer(InstanceGuard::ServerName());
    if (!socket.waitForConnected(kTimeoutMs)) {
        return false;
    }
    if (!PeerHasUid(static_cast<int>(socket.socketDescriptor()), g_nTrustedUid)) {
        socket.abort();
        return false;
    }
    return true;
}

// One request on a connection of its own, answered "OK".
bool SendRequest(const QByteArray& request) {
    QLocalSocket socket;
    if (!ConnectToInstance(socket)) {
        return false;
    }
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

} // namespace

InstanceGuard::InstanceGuard(QObject* pParent)
    : QObject(pParent), m_pServer(new QLocalServer(this)) {
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_pServer, &QLocalServer::newConnection, this, &InstanceGuard::OnNewConnection);
}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::ServerName() {
    return QDir(QString::fromStdString(PrivateRuntimeDir()))
        .filePath(QStringLiteral("vextkey-%1.instance").arg(static_cast<qulonglong>(::geteuid())));
}

void InstanceGuard::SetTrustedUid(uid_t nUid) {
    g_nTrustedUid = nUid;
}

bool InstanceGuard::NotifyRunningInstance(const QString& strFile) {
    // A line break would end the request early and let the rest of the name be read as another.
    if (strFile.contains('\n') || strFile.contains('\r')) {
        return false;
    }
    // The token is good for one activation: it goes with the first request only.
    const QByteArray token = qgetenv(kTokenVariable);
    if (IsActivationToken(token) && SendRequest(kActivate + token)) {
        qunsetenv(kTokenVariable);
    }
    return SendRequest(strFile.isEmpty() ? kRaise : kOpen + strFile.toUtf8());
}

std::optional<InstanceGuard::ModeResult>
InstanceGuard::ForwardMode(Mode mode, const QString& strFile, int nAnswerMs) {
    if (strFile.contains('\n') || strFile.contains('\r')) {
        return ModeResult{kExitFailed, QStringLiteral("a file name with a line break is refused; "
                                                      "rename the file")};
    }
    QLocalSocket socket;
    if (!ConnectToInstance(socket)) {
        return std::nullopt;
    }
    const QByteArray request = mode == Mode::Load ? kLoad + strFile.toUtf8() : kUnload;
    socket.write(request + '\n');

    QElapsedTimer timer;
    timer.start();
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() <= kMaxRequest) {
        const qint64 nLeft = nAnswerMs - timer.elapsed();
        if (nLeft <= 0 || !socket.waitForReadyRead(static_cast<int>(nLeft))) {
            if (socket.state() != QLocalSocket::ConnectedState && timer.elapsed() < nAnswerMs) {
                return ModeResult{kExitFailed, QStringLiteral("the running VextKey ended before "
                                                              "it carried out the request")};
            }
            return ModeResult{kExitFailed,
                              QStringLiteral("the running VextKey did not answer within %1 "
                                             "seconds")
                                  .arg(nAnswerMs / 1000)};
        }
        answer += socket.readAll();
    }
    const QList<QByteArray> fields = answer.left(answer.indexOf('\n')).split('\t');
    bool bNumber = false;
    const int nCode = fields.size() == 3 ? fields[1].toInt(&bNumber) : 0;
    if (!answer.startsWith(kDone) || !bNumber) {
        return ModeResult{kExitFailed, QStringLiteral("the running VextKey cannot carry out -ld "
                                                      "or -ul; close it and try again")};
    }
    return ModeResult{nCode, QString::fromUtf8(fields[2])};
}

bool InstanceGuard::Listen() {
    if (m_pServer->isListening()) {
        return true;
    }
    m_strListenError.clear();
    std::string why;
    if (!PreparePrivateDirectory(PrivateRuntimeDir(), &why)) {
        m_strListenError = QString::fromStdString(why);
        return false;
    }
    // Listening replaces whatever sits at the path, so ask first: a live instance answers, a
    // socket left behind by a crash does not.
    const QString strName = ServerName();
    QLocalSocket probe;
    probe.connectToServer(strName);
    if (probe.waitForConnected(kTimeoutMs)) {
        if (!PeerHasUid(static_cast<int>(probe.socketDescriptor()), g_nTrustedUid)) {
            m_strListenError = QStringLiteral("another user's program listens at %1").arg(strName);
        }
        return false;
    }
    QLocalServer::removeServer(strName);
    if (!m_pServer->listen(strName)) {
        m_strListenError =
            QStringLiteral("cannot listen at %1: %2").arg(strName, m_pServer->errorString());
        return false;
    }
    return true;
}

bool InstanceGuard::IsListening() const {
    return m_pServer->isListening();
}

void InstanceGuard::OnNewConnection() {
    while (QLocalSocket* pSocket = m_pServer->nextPendingConnection()) {
        connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
        if (!PeerHasUid(static_cast<int>(pSocket->socketDescriptor()), g_nTrustedUid)) {
            pSocket->abort();
            pSocket->deleteLater();
            continue;
        }
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
            const QByteArray line = guard->readLine(kMaxRequest).trimmed();
            if (line.startsWith(kLoad) || line == kUnload) {
                guard->write(Answer(line));
                guard->flush();
                guard->disconnectFromServer();
                return;
            }
            // The answer goes first: opening a file may run a modal loop for a while.
            guard->write(kAnswer);
            guard->flush();
            guard->disconnectFromServer();
            if (line.startsWith(kActivate)) {
                // Qt's wayland platform spends it on the next activation (BringToFront).
                if (const QByteArray token = line.mid(kActivate.size()); IsActivationToken(token)) {
                    qputenv(kTokenVariable, token);
                }
            } else if (line.startsWith(kOpen)) {
                Q_EMIT activationRequested(QString::fromUtf8(line.mid(kOpen.size())));
            } else if (line == kRaise) {
                Q_EMIT activationRequested(QString());
            }
        });
    }
}

QByteArray InstanceGuard::Answer(const QByteArray& line) {
    ModeResult result{kExitFailed, QStringLiteral("this VextKey cannot carry out -ld or -ul")};
    if (m_fnRunMode) {
        result = line == kUnload
                     ? m_fnRunMode(Mode::Unload, QString())
                     : m_fnRunMode(Mode::Load, QString::fromUtf8(line.mid(kLoad.size())));
    }
    return kDone + QByteArray::number(result.nExitCode) + '\t' +
           OneLine(result.strError.toUtf8()).replace('\t', ' ') + '\n';
}

} // namespace vext
