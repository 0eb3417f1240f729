#include "vextd/output/OutputFactory.h"

#include "core/driver/DriverOutput.h"
#include "vextd/output/RecordOutput.h"
#include "vextd/output/UinputOutput.h"
#if VEXTD_HAVE_XTEST
#include "vextd/output/XTestOutput.h"
#endif

#include <cstdlib>
#include <unistd.h>

namespace vext {
namespace {

// The rule of packaging/70-vextkey-uinput.rules, so the commands work without the sources.
constexpr const char* kUinputRule =
    R"(KERNEL=="uinput", SUBSYSTEM=="misc", TAG+="uaccess", OPTIONS+="static_node=uinput")";

std::unique_ptr<KeyOutput> OpenUinput(std::string* pError) {
    auto pOutput = std::make_unique<UinputOutput>();
    return pOutput->Open(UinputDevicePath(), pError) ? std::move(pOutput) : nullptr;
}

std::unique_ptr<KeyOutput> OpenXTest(std::string* pError) {
#if VEXTD_HAVE_XTEST
    auto pOutput = std::make_unique<XTestOutput>();
    return pOutput->Open(pError) ? std::move(pOutput) : nullptr;
#else
    *pError = "this vextd was built without the xtest output (libXtst was missing)";
    return nullptr;
#endif
}

std::unique_ptr<KeyOutput> OpenAuto(std::string* pError, std::string* pNote) {
    std::string uinputError;
    if (auto pOutput = OpenUinput(&uinputError)) {
        return pOutput;
    }
    std::string xtestError;
    if (auto pOutput = OpenXTest(&xtestError)) {
        const char* pDisplay = std::getenv("DISPLAY");
        const std::string display = pDisplay != nullptr ? pDisplay : "";
        if (SessionTypeFromEnvironment() == SessionType::kWayland) {
            // Said plainly: the set-up works for some windows only.
            *pNote = "output xtest through XWayland (display " + display + "), because " +
                     uinputError + ": keys reach X11 windows only, not Wayland windows; " +
                     UinputAccessAdvice(::access(UinputDevicePath().c_str(), F_OK) != 0);
        } else {
            *pNote = "output xtest through the X display " + display + ", because " + uinputError;
        }
        return pOutput;
    }
    const std::string path = UinputDevicePath();
    *pError =
        "no keyboard output: " + uinputError + "; and no XTest either: " + xtestError +
        ".\nInstall the udev rule 70-vextkey-uinput.rules, which gives the user at the seat access "
        "to " +
        path + ", then log out and in:\n" +
        UinputAccessCommands(::access(path.c_str(), F_OK) != 0) +
        (SessionTypeFromEnvironment() == SessionType::kWayland
             ? "or start vextd where DISPLAY names XWayland's display (its keys then reach X11 "
               "windows only)."
             : "or, in an X11 session, start vextd where DISPLAY is set.");
    return nullptr;
}

} // namespace

std::string UinputDevicePath() {
    const char* pDevice = std::getenv("VEXTD_UINPUT");
    return pDevice != nullptr && *pDevice != '\0' ? pDevice : "/dev/uinput";
}

std::string UinputAccessCommands(bool bDeviceMissing) {
    std::string commands;
    if (bDeviceMissing) {
        commands += "    sudo modprobe uinput\n";
    }
    commands += std::string("    echo '") + kUinputRule +
                "' | sudo tee /etc/udev/rules.d/70-vextkey-uinput.rules\n"
                "    sudo udevadm control --reload && sudo udevadm trigger\n";
    return commands;
}

std::unique_ptr<KeyOutput> MakeKeyOutput(const std::string& spec, std::string* pError,
                                         std::string* pNote) {
    if (spec == "auto") {
        return OpenAuto(pError, pNote);
    }
    if (spec == "uinput") {
        return OpenUinput(pError);
    }
    if (spec == "xtest") {
        auto pOutput = OpenXTest(pError);
        if (pOutput && SessionTypeFromEnvironment() == SessionType::kWayland) {
            *pNote = "output xtest in a Wayland session: keys reach X11 windows only, not "
                     "Wayland windows; " +
                     UinputAccessAdvice(::access(UinputDevicePath().c_str(), F_OK) != 0);
        }
        return pOutput;
    }
    const std::string kRecord = "record:";
    if (spec.rfind(kRecord, 0) == 0 && spec.size() > kRecord.size()) {
        auto pOutput = std::make_unique<RecordOutput>();
        return pOutput->Open(spec.substr(kRecord.size()), pError) ? std::move(pOutput) : nullptr;
    }
    *pError = "unknown output \"" + spec + "\" (use auto, uinput, xtest or record:PATH)";
    return nullptr;
}

} // namespace vext
