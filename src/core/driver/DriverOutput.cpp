#include "core/driver/DriverOutput.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/WireWords.h"

#include <array>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

namespace vext {
namespace {

bool EnvSet(const char* pszName) {
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr && *pszValue != '\0';
}

bool EnvIs(const char* pszName, std::string_view value) {
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr && value == pszValue;
}

} // namespace

SessionType SessionTypeFromEnvironment() {
    if (EnvSet("WAYLAND_DISPLAY") || EnvIs("XDG_SESSION_TYPE", "wayland")) {
        return SessionType::kWayland;
    }
    if (EnvSet("DISPLAY") || EnvIs("XDG_SESSION_TYPE", "x11")) {
        return SessionType::kX11;
    }
    return SessionType::kNone;
}

DriverOutputKind OutputKindFromName(const std::string& strName) {
    if (strName == "uinput") {
        return DriverOutputKind::kUinput;
    }
    if (strName == "xtest") {
        return DriverOutputKind::kXTest;
    }
    if (strName == "record") {
        return DriverOutputKind::kRecord;
    }
    return DriverOutputKind::kUnknown;
}

void EncodeOutputInfo(const DriverOutputInfo& info, std::span<uint8_t, kOutputInfoSize> out) {
    SetU32(static_cast<uint32_t>(info.kind), out, 0);
    SetU32(static_cast<uint32_t>(info.session), out, 4);
}

bool DecodeOutputInfo(std::span<const uint8_t> bytes, DriverOutputInfo* pInfo) {
    if (bytes.size() < kOutputInfoSize) {
        return false;
    }
    const auto nKind = static_cast<int32_t>(GetU32(bytes, 0));
    const auto nSession = static_cast<int32_t>(GetU32(bytes, 4));
    if (nKind < 0 || nKind > static_cast<int32_t>(DriverOutputKind::kRecord) || nSession < 0 ||
        nSession > static_cast<int32_t>(SessionType::kWayland)) {
        return false;
    }
    pInfo->kind = static_cast<DriverOutputKind>(nKind);
    pInfo->session = static_cast<SessionType>(nSession);
    return true;
}

bool QueryDriverOutput(DriverOutputInfo* pInfo) {
    std::array<uint8_t, kOutputInfoSize> buffer{};
    uint32_t nSize = kOutputInfoSize;
    if (DeviceQuery(VEXT_IOCTL_GET_OUTPUT, buffer.data(), &nSize) == 0) {
        return false;
    }
    return DecodeOutputInfo(std::span<const uint8_t>(buffer.data(), nSize), pInfo);
}

bool ReachesX11WindowsOnly(const DriverOutputInfo& info) {
    return info.kind == DriverOutputKind::kXTest && info.session == SessionType::kWayland;
}

std::string UinputAccessAdvice(bool bDeviceMissing) {
    return std::string(bDeviceMissing ? "for every window, load the uinput module (sudo modprobe "
                                        "uinput) and give your user access to /dev/uinput with "
                                        "the udev rule "
                                      : "for every window, give your user access to /dev/uinput "
                                        "with the udev rule ") +
           "70-vextkey-uinput.rules (the package installs it; from the sources: sudo cp "
           "packaging/70-vextkey-uinput.rules /etc/udev/rules.d/), which gives it to the user at "
           "the seat (TAG+=\"uaccess\"), then log out and in and start vextd again";
}

std::string DescribeDriverOutput(const DriverOutputInfo& info) {
    if (ReachesX11WindowsOnly(info)) {
        return "xtest through XWayland: keys reach X11 windows only, not Wayland windows; " +
               UinputAccessAdvice(::access("/dev/uinput", F_OK) != 0);
    }
    switch (info.kind) {
    case DriverOutputKind::kUinput:
        return "uinput (a virtual keyboard: keys reach every window)";
    case DriverOutputKind::kXTest:
        return "xtest (the X server's keyboard)";
    case DriverOutputKind::kRecord:
        return "record (a file)";
    case DriverOutputKind::kUnknown:
        break;
    }
    return "unknown";
}

} // namespace vext
