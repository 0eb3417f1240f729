#pragma once

// Makes the output named on the command line: "auto", "uinput", "xtest" or "record:PATH".
// auto (the default) takes uinput when its device opens, else XTest when an X display
// answers, else fails with the commands that grant access to uinput.

#include "vextd/output/KeyOutput.h"

#include <memory>
#include <string>

namespace vext {

// False with the reason in *pError. *pNote is set when auto had to pass over uinput, or when
// XTest types in a Wayland session (it reaches X11 windows only): one line saying which output
// it took and why.
std::unique_ptr<KeyOutput> MakeKeyOutput(const std::string& spec, std::string* pError,
                                         std::string* pNote);

// $VEXTD_UINPUT when set (a stand-in device for tests), else /dev/uinput.
std::string UinputDevicePath();

// The commands that give the user access to /dev/uinput, one per line, indented.
std::string UinputAccessCommands(bool bDeviceMissing);

} // namespace vext
