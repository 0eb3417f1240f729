#include <cstdio>
#include <cstring>

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
    std::fputs("vextkey: the configurator window is not built yet; try --help\n", stderr);
    return 2;
}
