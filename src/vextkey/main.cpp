#include <cstdio>
#include <cstring>

#ifdef VEXT_HAVE_GUI
#include "app/VextKeyApp.h"

#include <QApplication>
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
                      "Flags may also begin with \"/\", as in /ld and /ul.\n";

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
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
