#include "app/CommandLineModes.h"
#include "app/ShellCommandInfo.h"
#include "app/VextKeyCommandLineInfo.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifdef VEXT_HAVE_GUI
#include "app/InstanceGuard.h"
#include "app/ShellPrint.h"
#include "app/VextKeyApp.h"

#include <QApplication>
#include <QCoreApplication>
#endif

namespace {

const char kUsage[] =
    "Usage: vextkey [-ld FILE | -ul | -p FILE | -pt FILE PRINTER | --print-pdf FILE OUT.pdf |\n"
    "                FILE]\n"
    "Configure keyboard emulation for game pads.\n"
    "\n"
    "  -ld FILE                 load the key set FILE and download it to the driver, then exit\n"
    "  -ul                      unload the driver's key set, then exit\n"
    "  -p FILE                  print the mapping sheets of FILE on the default printer, then\n"
    "                           exit\n"
    "  -pt FILE PRINTER         print them on the printer named PRINTER, then exit\n"
    "  --print-pdf FILE OUT.pdf write them into the PDF file OUT.pdf, then exit\n"
    "  FILE                     open the key set FILE in the configurator\n"
    "  --help                   show this text\n"
    "\n"
    "Flags may also begin with \"/\", as in /ld and /ul.\n"
    "These modes need no display and print nothing when they succeed; on a failure they\n"
    "print one line on stderr and exit with status 1 (2 when the file is missing). A key set\n"
    "without mapped pad buttons has nothing to print and fails.\n";

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }

    // The two driver modes run before any window system is touched.
    CVextKeyCommandLineInfo info;
    info.ParseCommandLine(argc, argv);
#ifdef VEXT_HAVE_GUI
    if (info.m_nAction != CVextKeyCommandLineInfo::kActionNone) {
        // A running configurator comes forward and this start does nothing else. The check
        // needs the per-user socket only, no display.
        QCoreApplication core(argc, argv);
        if (vext::InstanceGuard::NotifyRunningInstance(QString())) {
            return 0;
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
    CVextKeyApp theApp;
    QStringList args = QApplication::arguments();
    args.removeFirst();
    if (!theApp.InitInstance(args)) {
        return 0;
    }
    return theApp.ExitInstance(QApplication::exec());
#else
    std::fputs("vextkey: built without the configurator window; try --help\n", stderr);
    return 2;
#endif
}
