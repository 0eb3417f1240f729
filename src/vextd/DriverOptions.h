#pragma once

// vextd's command line.

#include <string>
#include <vector>

namespace vext {

struct DriverOptions {
    std::string strSocket;   // empty: the default device path
    std::string strRegistry; // empty: the default registry store
    std::string strOutput = "auto";
    std::string strPadConfig; // empty: the default pad configuration
    int nRepeatMs = 50;
    bool bForeground = false;
    bool bVerbose = false;
    bool bHelp = false;
    bool bVersion = false;
    // Test pads: the button count of each virtual joystick to attach (test runs only).
    std::vector<int> testPads;
};

// Reads argv (without argv[0]). False with a one-line reason in *pError.
bool ParseDriverOptions(const std::vector<std::string>& args, DriverOptions* pOptions,
                        std::string* pError);

std::string DriverUsage();

} // namespace vext
