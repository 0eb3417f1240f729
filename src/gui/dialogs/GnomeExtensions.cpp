#include "gui/dialogs/GnomeExtensions.h"

#include <QProcess>
#include <QStandardPaths>

namespace vext {
namespace {

// It answers at once; a Shell that does not is not waited for long.
constexpr int kTimeoutMs = 5000;

class SystemGnomeExtensions : public IGnomeExtensions {
public:
    bool Enable(const QString& strUuid, QString* pError) override {
        const QString strProgram =
            QStandardPaths::findExecutable(QStringLiteral("gnome-extensions"));
        if (strProgram.isEmpty()) {
            *pError = QStringLiteral("gnome-extensions is not installed (it comes with GNOME "
                                     "Shell)");
            return false;
        }
        QProcess process;
        process.start(strProgram, {QStringLiteral("enable"), strUuid});
        if (!process.waitForFinished(kTimeoutMs)) {
            process.kill();
            process.waitForFinished(kTimeoutMs);
            *pError = QStringLiteral("gnome-extensions did not answer");
            return false;
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            const QString strWhy =
                QString::fromUtf8(process.readAllStandardError()).trimmed().left(300);
            *pError = strWhy.isEmpty()
                          ? QStringLiteral("gnome-extensions failed (%1)").arg(process.exitCode())
                          : strWhy;
            return false;
        }
        return true;
    }
};

IGnomeExtensions* g_pForTest = nullptr;

} // namespace

IGnomeExtensions& TheGnomeExtensions() {
    static SystemGnomeExtensions system;
    return g_pForTest != nullptr ? *g_pForTest : system;
}

void SetGnomeExtensionsForTest(IGnomeExtensions* pExtensions) {
    g_pForTest = pExtensions;
}

} // namespace vext
