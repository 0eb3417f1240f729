#include "gui/app/DriverLauncher.h"

#include "core/driver/DeviceChannel.h"
#include "gui/framework/CommandRunner.h"
#include "gui/framework/Resources.h"

#include <memory>
#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
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

// The advice that fits what the driver said when it stopped.
QString AdviceFor(const QString& strOutput) {
    if (strOutput.contains(QLatin1String("refusing to run as root"))) {
        return ResString(168);
    }
    if (strOutput.contains(QLatin1String("uinput"))) {
        return ResString(169);
    }
    if (strOutput.contains(QLatin1String("cannot listen at"))) {
        return ResString(170);
    }
    return ResString(171);
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
    // vextd in the background says on stderr why it stopped, and lets go of stderr once it
    // serves (its log then goes to its own file): reading the pipe to its end cannot hang.
    m_pProcess = new QProcess(this);
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
        const QString strOutput =
            TailOf(QString::fromLocal8Bit(m_pProcess->readAllStandardError()));
        Finish(false, m_plan.bSystemd ? FormatResString(164, strOutput)
                                      : FormatResString(163, strOutput, AdviceFor(strOutput)));
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
