#include "vextd/common/DriverOptions.h"

#include "vextd/common/ConfigLines.h"

#include <charconv>
#include <string_view>

namespace vext {
namespace {

bool ParseInt(const std::string& text, int nMin, int nMax, int* pnValue) {
    int nValue = 0;
    const char* pEnd = text.data() + text.size();
    const auto result = std::from_chars(text.data(), pEnd, nValue);
    if (text.empty() || result.ec != std::errc() || result.ptr != pEnd || nValue < nMin ||
        nValue > nMax) {
        return false;
    }
    *pnValue = nValue;
    return true;
}

// "N" attaches N pads of 12 buttons; "12,8" one pad per count, and "gc" a game controller.
bool ParseTestPads(const std::string& text, std::vector<TestPad>* pPads) {
    pPads->clear();
    if (int nCount = 0; text.find(',') == std::string::npos && ParseInt(text, 0, 4, &nCount)) {
        pPads->assign(static_cast<size_t>(nCount), TestPad{});
        return true;
    }
    size_t nStart = 0;
    while (nStart <= text.size()) {
        const size_t nComma = text.find(',', nStart);
        const std::string item =
            text.substr(nStart, nComma == std::string::npos ? std::string::npos : nComma - nStart);
        TestPad pad;
        pad.bController = item == "gc";
        if (!pad.bController && !ParseInt(item, 0, 32, &pad.nButtons)) {
            return false;
        }
        pPads->push_back(pad);
        if (nComma == std::string::npos) {
            break;
        }
        nStart = nComma + 1;
    }
    return pPads->size() <= 4;
}

constexpr int kMaxMinHoldMs = 1000;
constexpr int kMaxRepeatDelayMs = 10000;

} // namespace

namespace {

struct DriverSetting {
    std::string_view name;
    int nMin;
    int nMax;
    std::string_view unit;
    std::optional<int> DriverOptions::*pValue;
};

constexpr DriverSetting kDriverSettings[] = {
    {"min-hold-ms", 0, kMaxMinHoldMs, "milliseconds", &DriverOptions::nMinHoldMs},
    {"repeat-delay-ms", 0, kMaxRepeatDelayMs, "milliseconds", &DriverOptions::nRepeatDelayMs},
    {"trigger-threshold", 1, 100, "a percentage", &DriverOptions::nTriggerPercent},
};

const DriverSetting* FindDriverSetting(std::string_view name) {
    for (const DriverSetting& setting : kDriverSettings) {
        if (setting.name == name) {
            return &setting;
        }
    }
    return nullptr;
}

} // namespace

bool IsDriverSetting(std::string_view name) {
    return FindDriverSetting(name) != nullptr;
}

void ReadDriverSettings(std::string_view text, DriverOptions* pOptions,
                        std::vector<std::string>* pWarnings) {
    ForEachConfigLine(text, [&](int nLine, std::string_view line) {
        const size_t nEqual = line.find('=');
        const DriverSetting* pSetting = nEqual == std::string_view::npos
                                            ? nullptr
                                            : FindDriverSetting(TrimConfig(line.substr(0, nEqual)));
        if (pSetting == nullptr) {
            return;
        }
        int nValue = 0;
        if (!ParseInt(std::string(TrimConfig(line.substr(nEqual + 1))), pSetting->nMin,
                      pSetting->nMax, &nValue)) {
            pWarnings->push_back("pad configuration line " + std::to_string(nLine) + ": " +
                                 std::string(pSetting->name) + " needs " +
                                 std::string(pSetting->unit) + " from " +
                                 std::to_string(pSetting->nMin) + " to " +
                                 std::to_string(pSetting->nMax) + "; skipped");
            return;
        }
        // The command line wins over the file.
        std::optional<int>& value = pOptions->*(pSetting->pValue);
        if (!value) {
            value = nValue;
        }
    });
}

bool ParseDriverOptions(const std::vector<std::string>& args, DriverOptions* pOptions,
                        std::string* pError) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool bHasValue = false;
        if (const size_t nEqual = arg.find('=');
            arg.rfind("--", 0) == 0 && nEqual != std::string::npos) {
            value = arg.substr(nEqual + 1);
            arg = arg.substr(0, nEqual);
            bHasValue = true;
        }
        const auto takeValue = [&]() {
            if (bHasValue) {
                return true;
            }
            if (i + 1 >= args.size()) {
                *pError = arg + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        const auto noValue = [&]() {
            if (bHasValue) {
                *pError = arg + " takes no value";
                return false;
            }
            return true;
        };
        if (arg == "--socket") {
            if (!takeValue()) {
                return false;
            }
            pOptions->strSocket = value;
            if (value.empty()) {
                *pError = "--socket needs a path";
                return false;
            }
        } else if (arg == "--registry") {
            if (!takeValue()) {
                return false;
            }
            pOptions->strRegistry = value;
        } else if (arg == "--output") {
            if (!takeValue()) {
                return false;
            }
            pOptions->strOutput = value;
        } else if (arg == "--pad-config") {
            if (!takeValue()) {
                return false;
            }
            pOptions->strPadConfig = value;
        } else if (arg == "--repeat-ms") {
            if (!takeValue()) {
                return false;
            }
            if (!ParseInt(value, 1, 10000, &pOptions->nRepeatMs)) {
                *pError = "--repeat-ms needs a number of milliseconds from 1 to 10000";
                return false;
            }
        } else if (arg == "--min-hold-ms") {
            if (!takeValue()) {
                return false;
            }
            int nValue = 0;
            if (!ParseInt(value, 0, kMaxMinHoldMs, &nValue)) {
                *pError = "--min-hold-ms needs a number of milliseconds from 0 to 1000";
                return false;
            }
            pOptions->nMinHoldMs = nValue;
        } else if (arg == "--repeat-delay-ms") {
            if (!takeValue()) {
                return false;
            }
            int nValue = 0;
            if (!ParseInt(value, 0, kMaxRepeatDelayMs, &nValue)) {
                *pError = "--repeat-delay-ms needs a number of milliseconds from 0 to 10000";
                return false;
            }
            pOptions->nRepeatDelayMs = nValue;
        } else if (arg == "--trigger-threshold") {
            if (!takeValue()) {
                return false;
            }
            int nValue = 0;
            if (!ParseInt(value, 1, 100, &nValue)) {
                *pError = "--trigger-threshold needs a percentage from 1 to 100";
                return false;
            }
            pOptions->nTriggerPercent = nValue;
        } else if (arg == "--test-virtual-pads") {
            if (!takeValue()) {
                return false;
            }
            if (!ParseTestPads(value, &pOptions->testPads)) {
                *pError = "--test-virtual-pads needs a pad count (0 to 4) or up to four button "
                          "counts (0 to 32) or gc separated by commas";
                return false;
            }
        } else if (arg == "--foreground" || arg == "-f") {
            if (!noValue()) {
                return false;
            }
            pOptions->bForeground = true;
        } else if (arg == "--verbose" || arg == "-v") {
            if (!noValue()) {
                return false;
            }
            pOptions->bVerbose = true;
        } else if (arg == "--help" || arg == "-h") {
            pOptions->bHelp = true;
        } else if (arg == "--version") {
            pOptions->bVersion = true;
        } else if (arg == "--status") {
            pOptions->bStatus = true;
        } else {
            *pError = "unknown option \"" + arg + "\" (see --help)";
            return false;
        }
    }
    return true;
}

std::string DriverUsage() {
    return "Usage: vextd [options]\n"
           "The VextKey keyboard-emulation driver: plays the downloaded key set's keystrokes\n"
           "for the pads in slots 1 to 4.\n"
           "\n"
           "  --socket PATH      device channel socket (default $VEXT_DEVICE, else\n"
           "                     $XDG_RUNTIME_DIR/vext/device)\n"
           "  --registry PATH    registry store holding the driver record (default\n"
           "                     $VEXT_REGISTRY, else ~/.local/state/vext/registry.sqlite)\n"
           "  --output KIND      auto (default): uinput when its device opens, else xtest\n"
           "                     when an X display answers; or uinput, xtest, record:PATH\n"
           "  --repeat-ms N      Auto-Repeat interval in milliseconds (default 50)\n"
           "  --repeat-delay-ms N  wait before Auto-Repeat's first replay (default 250,\n"
           "                     or repeat-delay-ms in the pad configuration; 0: one\n"
           "                     interval)\n"
           "  --min-hold-ms N    keep every key down at least N ms (0 to 1000; default\n"
           "                     0, or min-hold-ms in the pad configuration)\n"
           "  --trigger-threshold PERCENT  how far a trigger is pulled to count as down\n"
           "                     (1 to 100; default 50, or trigger-threshold in the pad\n"
           "                     configuration); it is up again below four fifths of it\n"
           "  --pad-config PATH  pad types and pinned slots (default\n"
           "                     ~/.config/vext/pads.conf)\n"
           "  --foreground, -f   stay in the foreground (as under systemd)\n"
           "  --verbose, -v      log every request and pad change\n"
           "  --help, -h         show this text\n"
           "  --version          show the version\n"
           "  --status           ask the running vextd (at --socket) what it has loaded,\n"
           "                     which key set plays and why; exit status 0 only when it\n"
           "                     loaded a key set\n"
           "\n"
           "SIGTERM, SIGINT, SIGHUP and SIGQUIT stop it with every held key released.\n"
           "Key sets per game come from ~/.config/vext/games.conf (see vextd(1)). On GNOME\n"
           "they need VextKey's Shell extension, turned on once:\n"
           "  gnome-extensions enable focus@vextkey\n"
           "\n"
           "Environment:\n"
           "  VEXTD_UINPUT       the device the uinput output opens instead of /dev/uinput\n"
           "                     (tests point it at a stand-in)\n"
           "  VEXTD_ALLOW_ROOT   vextd refuses to run as root; set it to 1 only in\n"
           "                     throw-away containers (CI) that have no other user\n";
}

} // namespace vext
