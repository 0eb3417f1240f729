#pragma once

// vextd's command line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vext {

inline constexpr int kDefaultRepeatDelayMs = 250;
// How far a trigger is pulled to be down: it is up again below four fifths of that.
inline constexpr int kDefaultTriggerPercent = 50;

// A virtual pad of a test run: a joystick of so many buttons, or a game controller that the
// driver reads by position.
struct TestPad {
    int nButtons = 12;
    bool bController = false;

    bool operator==(const TestPad&) const = default;
};

struct DriverOptions {
    std::string strSocket;   // empty: the default device path
    std::string strRegistry; // empty: the default registry store
    std::string strOutput = "auto";
    std::string strPadConfig; // empty: the default pad configuration
    int nRepeatMs = 50;
    // Shortest time between a key's down and its up; unset: pads.conf's, else 0.
    std::optional<int> nMinHoldMs;
    // Wait before Auto-Repeat's first replay; unset: pads.conf's, else kDefaultRepeatDelayMs.
    std::optional<int> nRepeatDelayMs;
    // Travel (percent) that puts a trigger down; unset: pads.conf's, else kDefaultTriggerPercent.
    std::optional<int> nTriggerPercent;
    bool bForeground = false;
    bool bVerbose = false;
    bool bHelp = false;
    bool bStatus = false; // ask the running driver instead of running one
    bool bVersion = false;
    // The virtual pads to attach (test runs only).
    std::vector<TestPad> testPads;
};

// Reads argv (without argv[0]). False with a one-line reason in *pError.
bool ParseDriverOptions(const std::vector<std::string>& args, DriverOptions* pOptions,
                        std::string* pError);

std::string DriverUsage();

// The driver settings that pads.conf may hold besides pad names, as "<setting> = <value>"
// lines (min-hold-ms, repeat-delay-ms, trigger-threshold); the pad type rules skip them.
bool IsDriverSetting(std::string_view name);

// Takes the settings from pads.conf text into *pOptions, where the command line left them
// unset; a bad value is skipped and described in *pWarnings.
void ReadDriverSettings(std::string_view text, DriverOptions* pOptions,
                        std::vector<std::string>* pWarnings);

} // namespace vext
