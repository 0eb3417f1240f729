#include "app/CommandLineModes.h"
#include "app/VextKeyCommandLineInfo.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifdef VEXT_HAVE_GUI
#include "app/InstanceGuard.h"
#include "app/VextKeyApp.h"

#include <QApplication>
#include <QCoreApplication>
#endif

namespace {

const char kUsage[] = "Usage: vextkey [-ld FILE | -ul | FILE]\n"
                      "Configure keyboard emulation for game pads.\n"
                      "\n"
                      "  -ld FILE  load the key set FILE and download it to the driver, then exit\n"
                      "  -ul       unload the driver's key set, then exit\n"
                      "  FILE      open the key set FILE in the configurator\n"
                      "  --help    show this text\n"
                      "\n"
                      "Flags may also begin with \"/\", as in /ld and /ul.\n"
                      "-ld and -ul need no display and print nothing when they succeed; on a\n"
                      "failure they print one line on stderr and exit with status 1 (2 when -ld\n"
                      "has no file).\n";

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
