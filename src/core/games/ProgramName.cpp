#include "core/games/ProgramName.h"

#include "core/games/TextFold.h"
#include "core/platform/AtomicFile.h"

#include <array>
#include <limits.h>
#include <unistd.h>

namespace vext {
namespace {

constexpr size_t kMaxCommandLine = 64 * 1024;

std::string_view FileNamePart(std::string_view path) {
    const size_t nSlash = path.find_last_of("/\\");
    return nSlash == std::string_view::npos ? path : path.substr(nSlash + 1);
}

bool EndsWithExe(std::string_view text) {
    return text.size() > 4 && EqualNoCase(text.substr(text.size() - 4), ".exe");
}

// The file name of the ".exe" path that ends at nEnd in an argument; the path starts at the
// argument's start or after a quote.
std::string_view ExeEndingAt(std::string_view text, size_t nEnd) {
    std::string_view head = text.substr(0, nEnd);
    const size_t nQuote = head.find_last_of('"');
    if (nQuote != std::string_view::npos) {
        head = head.substr(nQuote + 1);
    }
    return FileNamePart(head);
}

} // namespace

bool IsWineLoader(std::string_view fileName) {
    for (const std::string_view loader : {"wine", "wine64", "wine-preloader", "wine64-preloader"}) {
        if (fileName == loader) {
            return true;
        }
    }
    return false;
}

std::string WindowsProgramFromCommandLine(std::string_view cmdline) {
    // Whole arguments first: Wine gives the program's path as an argument of its own.
    for (std::string_view rest = cmdline; !rest.empty();) {
        const size_t nEnd = rest.find('\0');
        std::string_view arg = rest.substr(0, nEnd);
        rest = nEnd == std::string_view::npos ? std::string_view() : rest.substr(nEnd + 1);
        if (arg.size() >= 2 && arg.front() == '"' && arg.back() == '"') {
            arg = arg.substr(1, arg.size() - 2);
        }
        if (EndsWithExe(arg) && FileNamePart(arg).size() > 4) {
            return std::string(FileNamePart(arg));
        }
    }
    // Then ".exe" inside an argument, ended by a quote or a space.
    for (size_t nAt = 0; (nAt = cmdline.find('.', nAt)) != std::string_view::npos; ++nAt) {
        const size_t nEnd = nAt + 4;
        if (nEnd > cmdline.size() || !EqualNoCase(cmdline.substr(nAt, 4), ".exe")) {
            continue;
        }
        if (nEnd < cmdline.size() && cmdline[nEnd] != ' ' && cmdline[nEnd] != '"' &&
            cmdline[nEnd] != '\0') {
            continue;
        }
        const size_t nArgStart = cmdline.rfind('\0', nAt);
        const std::string_view arg =
            cmdline.substr(nArgStart == std::string_view::npos ? 0 : nArgStart + 1);
        const std::string_view name = ExeEndingAt(arg, nEnd - (arg.data() - cmdline.data()));
        if (name.size() > 4) {
            return std::string(name);
        }
    }
    return {};
}

std::string ProgramOfProcess(int32_t nPid, const std::string& procRoot) {
    if (nPid <= 0) {
        return {};
    }
    const std::string dir = procRoot + "/" + std::to_string(nPid);
    std::array<char, PATH_MAX> target{};
    const ssize_t nLength = ::readlink((dir + "/exe").c_str(), target.data(), target.size());
    if (nLength <= 0 || static_cast<size_t>(nLength) >= target.size()) {
        return {};
    }
    std::string_view exe(target.data(), static_cast<size_t>(nLength));
    // An executable replaced since it started (an update) still names the program.
    constexpr std::string_view kDeleted = " (deleted)";
    if (exe.size() > kDeleted.size() && exe.substr(exe.size() - kDeleted.size()) == kDeleted) {
        exe.remove_suffix(kDeleted.size());
    }
    const std::string name(FileNamePart(exe));
    if (!IsWineLoader(name)) {
        return name;
    }
    std::string cmdline;
    bool bExists = false;
    if (!ReadWholeFile(dir + "/cmdline", &cmdline, &bExists, kMaxCommandLine).ok() || !bExists) {
        return name;
    }
    std::string program = WindowsProgramFromCommandLine(cmdline);
    return program.empty() ? name : program;
}

} // namespace vext
