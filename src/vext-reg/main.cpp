// vext-reg: shows the registry store as REGEDIT4 text, so that users and tests can see exactly
// what the driver will read, and deletes a key from it.

#include "core/driver/DriverRecord.h"
#include "core/registry/RegExport.h"
#include "core/registry/RegistryStore.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: vext-reg [--registry PATH] export [KEY]\n"
    "       vext-reg [--registry PATH] delete KEY\n"
    "Shows or changes the registry store that VextKey writes the driver's key set to.\n"
    "\n"
    "  export [KEY]     print KEY and every key below it as REGEDIT4 text; the default\n"
    "                   KEY is the driver's key-set record:\n"
    "                   HKEY_LOCAL_MACHINE\\%s\n"
    "  delete KEY       delete KEY with every key below it\n"
    "  --registry PATH  use the store at PATH instead of $VEXT_REGISTRY, else\n"
    "                   $XDG_STATE_HOME/vext/registry.sqlite\n"
    "  --version        show the version\n"
    "  --help           show this text\n"
    "\n"
    "KEY is a full path beginning with HKEY_LOCAL_MACHINE\\ or HKEY_CURRENT_USER\\ (HKLM\\ and\n"
    "HKCU\\ will do); names are matched without regard to case.\n"
    "Exit status: 0 done, 1 no such key or the store cannot be read, 2 bad command line.\n";

int Usage(FILE* out, int nExit) {
    std::fprintf(out, kUsage, vext::kDriverRecordPath);
    return nExit;
}

int BadCommandLine(const char* message) {
    std::fprintf(stderr, "vext-reg: %s\nTry 'vext-reg --help'.\n", message);
    return 2;
}

bool SplitKey(std::string_view key, vext::RegHive& hive, std::string_view& path) {
    const size_t slash = key.find('\\');
    path = slash == std::string_view::npos ? std::string_view() : key.substr(slash + 1);
    return vext::ParseHiveName(key.substr(0, slash), hive);
}

} // namespace

int main(int argc, char** argv) {
    std::string strStore = vext::RegistryStore::DefaultPath();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return Usage(stdout, 0);
        }
        if (arg == "--version") {
            std::printf("vext-reg %d.%d\n", VEXT_VERSION_MAJOR, VEXT_VERSION_MINOR);
            return 0;
        }
        if (arg == "--registry") {
            if (i + 1 >= argc) {
                return BadCommandLine("--registry needs a path");
            }
            strStore = argv[++i];
        } else if (arg.starts_with("--registry=")) {
            strStore = std::string(arg.substr(std::strlen("--registry=")));
        } else if (arg.starts_with("--")) {
            return BadCommandLine(("unknown option " + std::string(arg)).c_str());
        } else {
            args.emplace_back(arg);
        }
    }
    if (args.empty()) {
        return BadCommandLine("no command given");
    }
    const std::string& command = args[0];
    const bool bExport = command == "export";
    if (!bExport && command != "delete") {
        return BadCommandLine(("unknown command " + command).c_str());
    }
    if (args.size() > 2 || (!bExport && args.size() != 2)) {
        return BadCommandLine(bExport ? "export takes at most one key" : "delete takes one key");
    }
    const std::string strKey =
        args.size() == 2 ? args[1] : std::string("HKEY_LOCAL_MACHINE\\") + vext::kDriverRecordPath;
    vext::RegHive hive{};
    std::string_view path;
    if (!SplitKey(strKey, hive, path)) {
        return BadCommandLine(("a key must begin with HKEY_LOCAL_MACHINE\\ or "
                               "HKEY_CURRENT_USER\\: " +
                               strKey)
                                  .c_str());
    }

    std::string error;
    auto store = vext::RegistryStore::Open(strStore, error,
                                           bExport ? vext::RegistryStore::OpenMode::kReadOnly
                                                   : vext::RegistryStore::OpenMode::kReadWrite);
    if (!store) {
        std::fprintf(stderr, "vext-reg: %s\n", error.c_str());
        return 1;
    }
    if (!bExport) {
        const vext::RegStatus status = store->DeleteKeyTree(hive, path);
        if (status != vext::RegStatus::kOk) {
            std::fprintf(stderr, "vext-reg: cannot delete %s: %s\n", strKey.c_str(),
                         status == vext::RegStatus::kNotFound ? "no such key"
                                                              : store->LastError().c_str());
            return 1;
        }
        return 0;
    }

    vext::RegKey key;
    vext::RegStatus status = store->OpenKey(hive, path, key);
    if (status == vext::RegStatus::kNotFound) {
        std::fprintf(stderr, "vext-reg: no such key: %s\n", strKey.c_str());
        return 1;
    }
    std::string text;
    if (status == vext::RegStatus::kOk) {
        status = vext::ExportRegedit4(key, text);
    }
    if (status != vext::RegStatus::kOk) {
        std::fprintf(stderr, "vext-reg: %s: %s\n", store->Path().c_str(),
                     store->LastError().c_str());
        return 1;
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "vext-reg: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
