#include "gui/framework/CommandRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>

namespace vext {

namespace {

class SystemRunner : public CommandRunner {
public:
    QString FindProgram(const QString& strProgram) const override {
        return FindExecutableOnPath(strProgram);
    }

    void Start(const QString& strProgram, const QStringList& args, Finished fnFinished) override {
        // Not parented: a mail client that xdg-email waits for must outlive this window, and
        // a QProcess that is destroyed kills what it started. A running one is left behind at
        // exit on purpose.
        auto* pProcess = new QProcess;
        pProcess->setProcessChannelMode(QProcess::SeparateChannels);
        pProcess->setStandardOutputFile(QProcess::nullDevice());
        auto finish = [pProcess, fnFinished](int nExitCode, const QString& strError) {
            pProcess->disconnect();
            pProcess->deleteLater();
            if (fnFinished) {
                fnFinished(nExitCode, strError);
            }
        };
        QObject::connect(pProcess, &QProcess::finished, pProcess,
                         [pProcess, finish](int nExitCode, QProcess::ExitStatus status) {
                             const QString strError =
                                 QString::fromLocal8Bit(pProcess->readAllStandardError()).trimmed();
                             finish(status == QProcess::NormalExit ? nExitCode : -1, strError);
                         });
        QObject::connect(pProcess, &QProcess::errorOccurred, pProcess,
                         [pProcess, finish](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart) {
                                 finish(-1, pProcess->errorString());
                             }
                         });
        pProcess->start(strProgram, args);
    }
};

CommandRunner* g_pRunner = nullptr;
QHash<QString, bool> g_found; // by the runner in use


} // namespace

QString FindExecutableOnPath(const QString& strProgram) {
    QStringList dirs;
    // An empty entry means the working folder too, so it goes with the relative ones.
    for (const QString& strDir : QString::fromLocal8Bit(qgetenv("PATH")).split(':')) {
        if (QDir::isAbsolutePath(strDir)) {
            dirs.append(strDir);
        }
    }
    return dirs.isEmpty() ? QString() : QStandardPaths::findExecutable(strProgram, dirs);
}

bool IsProgramAvailable(const QString& strProgram) {
    const auto it = g_found.constFind(strProgram);
    if (it != g_found.constEnd()) {
        return *it;
    }
    const bool bFound = !TheCommandRunner().FindProgram(strProgram).isEmpty();
    g_found.insert(strProgram, bFound);
    return bFound;
}

void ForgetFoundPrograms() {
    g_found.clear();
}

CommandRunner& TheCommandRunner() {
    static SystemRunner system;
    return g_pRunner ? *g_pRunner : system;
}

CommandRunner* SetCommandRunner(CommandRunner* pRunner) {
    ForgetFoundPrograms();
    CommandRunner* pPrevious = g_pRunner;
    g_pRunner = pRunner;
    return pPrevious;
}

} // namespace vext
