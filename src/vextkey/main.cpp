#include "core/app/CommandLineModes.h"
#include "core/app/DriverStatus.h"
#include "core/app/ShellCommandInfo.h"
#include "core/app/VextKeyCommandLineInfo.h"
#include "core/platform/LineText.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifdef VEXT_HAVE_GUI
#include "gui/app/InstanceGuard.h"
#include "gui/app/ShellPrint.h"
#include "gui/app/VextKeyApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#endif

namespace {

const char kUsage[] =
    "Usage: vextkey [-ld FILE | -ul | --status | -p FILE | -pt FILE PRINTER |\n"
    "                --print-pdf FILE OUT.pdf | FILE]\n"
    "Configure keyboard emulation for game pads.\n"
    "\n"
    "  -ld FILE                 load the key set FILE and download it to the driver, then exit\n"
    "  -ul                      unload the driver's key set, then exit\n"
    "  --status                 tell whether the driver runs, what it plays and which pads it\n"
    "                           sees, then exit\n"
    "  -p FILE                  print the mapping sheets of FILE on the default printer, then\n"
    "                           exit\n"
    "  -pt FILE PRINTER         print them on the printer named PRINTER, then exit\n"
    "  --print-pdf FILE OUT.pdf write them into the PDF file OUT.pdf, then exit\n"
    "  FILE                     open the key set FILE in the configurator\n"
    "  --version                show the version\n"
    "  --help                   show this text\n"
    "\n"
    "Flags may also begin with \"/\", as in /ld and /ul.\n"
    "These modes need no display and print nothing when they succeed; on a failure they print\n"
    "one line on stderr and exit with status 1 (2 when the file is missing). A key set without\n"
    "mapped pad buttons has nothing to print and fails.\n"
    "While a configurator window runs, -ld and -ul are carried out by it, with the same result.\n"
    "--status prints one fact per line and exits with 0 when the driver answers, else 3.\n";

int PrintStatus() {
    const vext::DriverStatusReport report = vext::ReadDriverStatus();
    // One fact per line, whatever names the key set and the pads bring along.
    for (const std::string& line : report.lines) {
        std::printf("%s\n", vext::EscapeForLine(line).c_str());
    }
    return report.bDriverAnswers ? vext::kExitOk : vext::kExitNoDriver;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("vextkey %d.%d\n", VEXT_VERSION_MAJOR, VEXT_VERSION_MINOR);
            return 0;
        }
        if (std::strcmp(argv[i], "--status") == 0) {
            return PrintStatus();
        }
    }

    // The two driver modes run before any window system is touched.
    CVextKeyCommandLineInfo info;
    info.ParseCommandLine(argc, argv);
#ifdef VEXT_HAVE_GUI
    const bool bLoad = info.m_nAction == CVextKeyCommandLineInfo::kActionLoad;
    const bool bUnload = info.m_nAction == CVextKeyCommandLineInfo::kActionUnload;
    if ((bLoad && !info.m_strFileName.empty()) || bUnload) {
        // A running configurator carries the mode out, so that the record and the window's
        // view of it never disagree; that needs the per-user socket only, no display.
        QCoreApplication core(argc, argv);
        const QString strFile =
            bLoad ? QFileInfo(QString::fromStdString(info.m_strFileName)).absoluteFilePath()
                  : QString();
        const auto result = vext::InstanceGuard::ForwardMode(
            bLoad ? vext::InstanceGuard::Mode::Load : vext::InstanceGuard::Mode::Unload, strFile);
        if (result) {
            if (!result->strError.isEmpty()) {
                std::fprintf(stderr, "vextkey: %s\n", result->strError.toLocal8Bit().constData());
            }
            return result->nExitCode;
        }
    }
#endif
    int nExitCode = 0;
    std::string strError;
    if (vext::RunCommandLineMode(info, nExitCode, strError)) {
        if (!strError.empty()) {
            std::fprintf(stderr, "vextkey: %s\n", strError.c_str());
        }
        return nExitCode;
    }

    // The shell's print switches print without any window, whether or not one runs.
    vext::ShellCommandInfo shell;
    shell.ParseCommandLine(argc, argv);
    if (shell.IsPrint()) {
#ifdef VEXT_HAVE_GUI
        nExitCode = vext::RunShellPrint(argc, argv, shell, strError);
        if (!strError.empty()) {
            std::fprintf(stderr, "vextkey: %s\n", strError.c_str());
        }
        return nExitCode;
#else
        std::fputs("vextkey: built without printing; try --help\n", stderr);
        return 2;
#endif
    }

#ifdef VEXT_HAVE_GUI
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Zelvan"));
    QApplication::setApplicationName(QStringLiteral("VextKey"));
    // Lets the desktop match the window to vextkey.desktop (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("vextkey"));
    CVextKeyApp theApp;
    QStringList args = QApplication::arguments();
    args.removeFirst();
    if (!theApp.InitInstance(args)) {
        return theApp.InitExitCode();
    }
    return theApp.ExitInstance(QApplication::exec());
#else
    std::fputs("vextkey: built without the configurator window; try --help\n", stderr);
    return 2;
#endif
}
