#pragma once

// Starts the driver for the user who has none running: through the systemd user unit when it
// is installed, else the vextd installed beside vextkey (or found on PATH). vextd answers its
// caller only once it serves or has failed, so the outcome is known without polling.

#include <functional>

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace vext {

struct DriverLaunchPlan {
    QString strProgram; // empty: no way to start a driver was found
    QStringList args;
    bool bSystemd = false;
};

// How the driver would be started now.
DriverLaunchPlan PlanDriverLaunch();

class DriverLauncher : public QObject {
    Q_OBJECT
public:
    // Called once per Start(): bOk, and on failure what the user should read.
    using Done = std::function<void(bool bOk, const QString& strError)>;

    explicit DriverLauncher(QObject* pParent = nullptr);
    ~DriverLauncher() override;

    bool IsRunning() const { return m_pProcess != nullptr; }
    // Starts the driver without blocking; a second Start() while one runs is ignored.
    void Start(Done done);

private:
    void OnFinished(int nExitCode, QProcess::ExitStatus status);
    void Finish(bool bOk, const QString& strError);

    QProcess* m_pProcess = nullptr;
    Done m_done;
    DriverLaunchPlan m_plan;
};

} // namespace vext
