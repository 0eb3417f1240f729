#include "driver/DriverOutput.h"

#include "driver/DeviceChannel.h"

#include <array>
#include <cstdlib>
#include <string_view>

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

int32_t ReadInt32(std::span<const uint8_t> bytes, size_t nIndex) {
    uint32_t n = 0;
    for (size_t i = 0; i < 4; ++i) {
        n |= static_cast<uint32_t>(bytes[nIndex * 4 + i]) << (8 * i);
    }
    return static_cast<int32_t>(n);
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
    const int32_t fields[] = {static_cast<int32_t>(info.kind), static_cast<int32_t>(info.session)};
    for (size_t f = 0; f < 2; ++f) {
        for (size_t i = 0; i < 4; ++i) {
            out[f * 4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(fields[f]) >> (8 * i));
        }
    }
}

bool DecodeOutputInfo(std::span<const uint8_t> bytes, DriverOutputInfo* pInfo) {
    if (bytes.size() < kOutputInfoSize) {
        return false;
    }
    const int32_t nKind = ReadInt32(bytes, 0);
    const int32_t nSession = ReadInt32(bytes, 1);
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

std::string UinputAccessAdvice() {
    return "for every window, give your user access to /dev/uinput with the udev rule "
           "70-vextkey-uinput.rules (the package installs it; from the sources: sudo cp "
           "packaging/70-vextkey-uinput.rules /etc/udev/rules.d/), which gives it to the user at "
           "the seat (TAG+=\"uaccess\"), then log out and in and start vextd again";
}

std::string DescribeDriverOutput(const DriverOutputInfo& info) {
    if (ReachesX11WindowsOnly(info)) {
        return "xtest through XWayland: keys reach X11 windows only, not Wayland windows; " +
               UinputAccessAdvice();
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
