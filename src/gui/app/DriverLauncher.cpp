#include "app/DriverLauncher.h"

#include "driver/DeviceChannel.h"
#include "framework/CommandRunner.h"
#include "framework/Resources.h"

#include <memory>
#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace vext {

namespace {

constexpr int kAnswerPollMs = 100;
constexpr int kAnswerPolls = 30; // how long a started driver may take to answer
constexpr int kLaunchTimeoutMs = 15000;

const char kUnit[] = "vextd.service";

bool UserUnitInstalled(const QString& strSystemctl) {
    QProcess probe;
    probe.start(strSystemctl, {QStringLiteral("--user"), QStringLiteral("show"),
                               QStringLiteral("--property=LoadState"), QLatin1String(kUnit)});
    if (!probe.waitForFinished(2000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0) {
        probe.kill();
        return false;
    }
    return probe.readAllStandardOutput().trimmed() == "LoadState=loaded";
}

// Where the daemon's own messages go when it is started from here: the user can read them, and
// the first lines tell why a start failed.
QString DriverLogPath() {
    QString strDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (strDir.isEmpty()) {
        strDir = QDir::tempPath();
    }
    return QDir(strDir).filePath(QStringLiteral("vextd.log"));
}

QString TailOf(const QString& strText) {
    constexpr int kMaxChars = 2000;
    const QString strTrimmed = strText.trimmed();
    return strTrimmed.size() > kMaxChars ? strTrimmed.right(kMaxChars) : strTrimmed;
}

} // namespace

DriverLaunchPlan PlanDriverLaunch() {
    DriverLaunchPlan plan;
    const QString strSystemctl = FindExecutableOnPath(QStringLiteral("systemctl"));
    if (!strSystemctl.isEmpty() && UserUnitInstalled(strSystemctl)) {
        plan.strProgram = strSystemctl;
        plan.args = {QStringLiteral("--user"), QStringLiteral("start"), QLatin1String(kUnit)};
        plan.bSystemd = true;
        return plan;
    }
    // Installed side by side, or both in a build tree (src/vextkey and src/vextd).
    const QDir dir(QCoreApplication::applicationDirPath());
    for (const QString& strCandidate :
         {dir.filePath(QStringLiteral("vextd")), dir.filePath(QStringLiteral("../vextd/vextd"))}) {
        const QFileInfo info(strCandidate);
        if (info.isFile() && info.isExecutable()) {
            plan.strProgram = info.canonicalFilePath();
            return plan;
        }
    }
    plan.strProgram = FindExecutableOnPath(QStringLiteral("vextd"));
    return plan;
}

DriverLauncher::DriverLauncher(QObject* pParent) : QObject(pParent) {}

DriverLauncher::~DriverLauncher() {
    if (m_pProcess) {
        m_pProcess->disconnect(this);
    }
}

void DriverLauncher::Start(Done done) {
    if (m_pProcess) {
        return;
    }
    m_done = std::move(done);
    m_plan = PlanDriverLaunch();
    if (m_plan.strProgram.isEmpty()) {
        Finish(false, ResString(161));
        return;
    }
    m_pProcess = new QProcess(this);
    if (!m_plan.bSystemd) {
        m_pProcess->setStandardErrorFile(DriverLogPath(), QIODevice::Truncate);
    }
    m_pProcess->setStandardOutputFile(QProcess::nullDevice());
    connect(m_pProcess, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            Finish(false, FormatResString(162, m_plan.strProgram, m_pProcess->errorString()));
        }
    });
    connect(m_pProcess, &QProcess::finished, this, &DriverLauncher::OnFinished);
    QTimer::singleShot(kLaunchTimeoutMs, m_pProcess, [this] {
        if (m_pProcess && m_pProcess->state() != QProcess::NotRunning) {
            m_pProcess->kill();
        }
    });
    m_pProcess->start(m_plan.strProgram, m_plan.args);
}

void DriverLauncher::OnFinished(int nExitCode, QProcess::ExitStatus status) {
    // Killed (it hung past the launch timeout) or crashed counts as failed too.
    if (status != QProcess::NormalExit || nExitCode != 0) {
        QString strOutput;
        if (m_plan.bSystemd) {
            strOutput = QString::fromLocal8Bit(m_pProcess->readAllStandardError());
        } else {
            QFile log(DriverLogPath());
            if (log.open(QIODevice::ReadOnly)) {
                strOutput = QString::fromLocal8Bit(log.read(64 * 1024));
            }
        }
        Finish(false, FormatResString(m_plan.bSystemd ? 164 : 163, TailOf(strOutput)));
        return;
    }
    // The command is done; the driver itself must now answer on its channel.
    auto nPolls = std::make_shared<int>(0);
    auto* pTimer = new QTimer(this);
    pTimer->setInterval(kAnswerPollMs);
    connect(pTimer, &QTimer::timeout, this, [this, pTimer, nPolls] {
        const bool bAnswers = GetDriverVersion() != 0;
        if (!bAnswers && ++*nPolls < kAnswerPolls) {
            return;
        }
        pTimer->stop();
        pTimer->deleteLater();
        Finish(bAnswers, bAnswers ? QString() : ResString(165));
    });
    pTimer->start();
}

void DriverLauncher::Finish(bool bOk, const QString& strError) {
    if (m_pProcess) {
        m_pProcess->disconnect(this);
        m_pProcess->deleteLater();
        m_pProcess = nullptr;
    }
    if (Done done = std::exchange(m_done, nullptr)) {
        done(bOk, strError);
    }
}

} // namespace vext
