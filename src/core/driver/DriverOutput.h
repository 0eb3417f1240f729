#pragma once

// Where the driver's keys go, and so which windows they reach: the answer to device-channel code
// 40. XTest through XWayland, the fallback in a Wayland session without access to /dev/uinput,
// reaches X11 windows only; whoever shows the driver's state says so instead of reporting a
// driver that simply works. The wire format is in docs/device-channel.md.

#include "core/driver/DeviceCodes.h"

#include <cstdint>
#include <span>
#include <string>

// Code 40's buffer: 8 bytes in (zero), 8 bytes out. A driver that does not know it refuses it.

namespace vext {

enum class DriverOutputKind : int32_t {
    kUnknown = 0,
    kUinput = 1, // a virtual keyboard: every window, X11 and Wayland, and the console
    kXTest = 2,  // the X server's keyboard: X11 windows only
    kRecord = 3, // a file (tests)
};

// The desktop session the driver was started in, as its environment tells.
enum class SessionType : int32_t {
    kNone = 0,
    kX11 = 1,
    kWayland = 2,
};

struct DriverOutputInfo {
    DriverOutputKind kind = DriverOutputKind::kUnknown;
    SessionType session = SessionType::kNone;

    bool operator==(const DriverOutputInfo&) const = default;
};

inline constexpr uint32_t kOutputInfoSize = 8;

// Wayland when WAYLAND_DISPLAY is set or XDG_SESSION_TYPE is "wayland"; else X11 when DISPLAY
// is set or XDG_SESSION_TYPE is "x11"; else none.
SessionType SessionTypeFromEnvironment();

// The kind an output's short name ("uinput", "xtest", "record") stands for.
DriverOutputKind OutputKindFromName(const std::string& strName);

// The 8 answer bytes: kind, session, each int32 little-endian.
void EncodeOutputInfo(const DriverOutputInfo& info, std::span<uint8_t, kOutputInfoSize> out);
// False for fewer than 8 bytes or a kind or session this program does not know.
bool DecodeOutputInfo(std::span<const uint8_t> bytes, DriverOutputInfo* pInfo);

// Asks the running driver. False when none answers or it does not know the code.
bool QueryDriverOutput(DriverOutputInfo* pInfo);

// Keys typed through XTest in a Wayland session reach X11 (XWayland) windows only.
bool ReachesX11WindowsOnly(const DriverOutputInfo& info);

// How to get uinput, which reaches every window: the module when /dev/uinput is missing, the
// udev rule, then logging out and in.
std::string UinputAccessAdvice(bool bDeviceMissing);

// One line for --status, after "output: ".
std::string DescribeDriverOutput(const DriverOutputInfo& info);

} // namespace vext
